/* Self-registration end to end: regsvr32 on copies of the library in
   scratch folders (one whose path holds a single quote), the registry read
   back, and the type library's fallback to a .tlb file. */
#include "doctest_config.h"
#include "testbed.h"

#include <windows.h>
#include <string.h>
#include <string>

using testbed::WinePath;

namespace {

const char kClsid[] = "{6C0F4A2E-91B7-4D5A-8E36-3B9F12C7A4D0}";
const char kLibid[] = "{6C0F4A20-91B7-4D5A-8E36-3B9F12C7A4D0}";
const char kIid[] = "{6C0F4A2D-91B7-4D5A-8E36-3B9F12C7A4D0}";
const std::string kK = std::string("CLSID\\") + kClsid;

int Regsvr32(const std::string &options, const std::string &path)
{
    return testbed::RunProcess("", "regsvr32.exe /s " + options + "\"" + path + "\"", 60000);
}

/* A copy of the library in a fresh folder named folder. */
std::string CopyLibrary(const char *folder)
{
    std::string dir = testbed::MakeScratchDir("ax") + "\\" + folder;
    CreateDirectoryA(dir.c_str(), NULL);
    std::string path = dir + "\\CorvalaActiveX.dll";
    REQUIRE(CopyFileA(WinePath(AX_LIBRARY_PATH).c_str(), path.c_str(), FALSE));
    return path;
}

/* Hides a resource type of the copy at path by renaming it in the resource
   directory, where names are length-prefixed UTF-16 strings. */
void RenameResourceType(const std::string &path, const char *from, const char *to)
{
    auto counted = [](const char *name) {
        std::string out(1, (char)strlen(name));
        out += '\0';
        for (; *name; name++)
            out += std::string(1, *name) + '\0';
        return out;
    };
    std::string bytes = testbed::ReadBytes(path), key = counted(from);
    size_t at = bytes.find(key);
    REQUIRE(at != std::string::npos);
    REQUIRE(bytes.find(key, at + 1) == std::string::npos);
    bytes.replace(at, key.size(), counted(to));
    REQUIRE(testbed::WriteBytes(path, bytes));
}

bool KeyExists(const std::string &key)
{
    HKEY opened;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

/* A REG_SZ value under HKEY_CLASSES_ROOT, "<none>" when missing. */
std::string Value(const std::string &key, const char *name = nullptr)
{
    char data[1024];
    DWORD size = sizeof(data), type = 0;
    if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS)
        return "<none>";
    return type == REG_SZ ? std::string(data) : "<type " + std::to_string(type) + ">";
}

/* The path this width's registration wrote: RegisterTypeLib files a 32-bit
   library under win32, a 64-bit one under win64, side by side. */
std::string TypeLibPath()
{
    return Value(std::string("TypeLib\\") + kLibid + "\\1.0\\0\\" + (sizeof(void *) == 8 ? "win64" : "win32"));
}

void CheckRegistered(const std::string &path)
{
    const std::string rows[][3] = {
        { "CorvalaAX.CorvalaAX.1", "", "CorvalaAX Class" },
        { "CorvalaAX.CorvalaAX.1\\CLSID", "", kClsid },
        { "CorvalaAX.CorvalaAX", "", "CorvalaAX Class" },
        { "CorvalaAX.CorvalaAX\\CurVer", "", "CorvalaAX.CorvalaAX.1" },
        { kK, "", "CorvalaAX Class" },
        { kK + "\\ProgID", "", "CorvalaAX.CorvalaAX.1" },
        { kK + "\\VersionIndependentProgID", "", "CorvalaAX.CorvalaAX" },
        { kK + "\\Programmable", "", "<none>" },
        { kK + "\\InprocServer32", "", path },
        { kK + "\\InprocServer32", "ThreadingModel", "Apartment" },
        { kK + "\\Control", "", "<none>" },
        { kK + "\\Insertable", "", "<none>" },
        { kK + "\\ToolboxBitmap32", "", path + ", 1" },
        { kK + "\\MiscStatus", "", "0" },
        { kK + "\\MiscStatus\\1", "", "131473" },
        { kK + "\\TypeLib", "", kLibid },
        { kK + "\\Version", "", "1.0" },
    };
    for (const auto &row : rows) {
        CAPTURE(row[0]);
        CHECK(KeyExists(row[0]));
        CHECK(Value(row[0], row[1].empty() ? nullptr : row[1].c_str()) == row[2]);
    }
    CHECK(TypeLibPath() == path);
    std::string dir = path.substr(0, path.rfind('\\') + 1);
    CHECK(Value(std::string("TypeLib\\") + kLibid + "\\1.0\\HELPDIR") == dir);
    CHECK(Value(std::string("Interface\\") + kIid + "\\TypeLib") == kLibid);
}

void CheckUnregistered()
{
    for (const std::string &key : { std::string("CorvalaAX.CorvalaAX.1"), std::string("CorvalaAX.CorvalaAX"), kK })
        CHECK_FALSE(KeyExists(key));
    CHECK(KeyExists("CLSID"));
}

} // namespace

TEST_CASE("regsvr32 and /u on a library whose path holds a single quote")
{
    std::string path = CopyLibrary("it's here");

    /* Unregistering when nothing is registered succeeds and changes nothing. */
    CHECK(Regsvr32("/u ", path) == 0);
    CHECK(Regsvr32("/u ", path) == 0);
    CheckUnregistered();

    REQUIRE(Regsvr32("", path) == 0);
    CheckRegistered(path);

    /* Registering again starts K afresh. */
    HKEY extra;
    REQUIRE(RegCreateKeyExA(HKEY_CLASSES_ROOT, (kK + "\\Extra\\Deeper").c_str(), 0, NULL, 0, KEY_WRITE, NULL, &extra,
                            NULL) == ERROR_SUCCESS);
    RegCloseKey(extra);
    REQUIRE(Regsvr32("", path) == 0);
    CHECK_FALSE(KeyExists(kK + "\\Extra"));
    CheckRegistered(path);

    /* Unregistering leaves CLSID and the type library. */
    CHECK(Regsvr32("/u ", path) == 0);
    CheckUnregistered();
    CHECK(TypeLibPath() == path);
}

TEST_CASE("the type library from the .tlb file beside a library that lacks it")
{
    std::string path = CopyLibrary("no typelib");
    RenameResourceType(path, "TYPELIB", "TYPELIX");
    std::string tlb = path.substr(0, path.size() - 4) + ".tlb";

    HMODULE library = LoadLibraryA(path.c_str());
    REQUIRE(library != NULL);
    auto registerServer = (HRESULT(WINAPI *)(void))GetProcAddress(library, "DllRegisterServer");
    auto unregisterServer = (HRESULT(WINAPI *)(void))GetProcAddress(library, "DllUnregisterServer");

    /* Without the .tlb: LoadTypeLib's failure, the script's entries stay. */
    CHECK(FAILED(registerServer()));
    CHECK(Value(kK + "\\InprocServer32") == path);
    CHECK(TypeLibPath() != path);

    REQUIRE(CopyFileA(WinePath(AX_TYPELIB_PATH).c_str(), tlb.c_str(), FALSE));
    CHECK(registerServer() == S_OK);
    CHECK(TypeLibPath() == tlb);
    CHECK(unregisterServer() == S_OK);
    CheckUnregistered();
    FreeLibrary(library);
}

TEST_CASE("a library without its registration script registers nothing")
{
    std::string path = CopyLibrary("no script");
    RenameResourceType(path, "REGISTRY", "REGISTRX");
    std::string before = TypeLibPath();

    HMODULE library = LoadLibraryA(path.c_str());
    REQUIRE(library != NULL);
    auto registerServer = (HRESULT(WINAPI *)(void))GetProcAddress(library, "DllRegisterServer");
    auto unregisterServer = (HRESULT(WINAPI *)(void))GetProcAddress(library, "DllUnregisterServer");
    HRESULT hr = registerServer();
    CHECK((FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_WIN32));
    CheckUnregistered();
    CHECK(TypeLibPath() == before);
    CHECK(unregisterServer() == S_OK);
    FreeLibrary(library);

    /* Leave the type library registered from the build's own library. */
    std::string built = WinePath(AX_LIBRARY_PATH);
    CHECK(Regsvr32("", built) == 0);
    CHECK(Regsvr32("/u ", built) == 0);
}
