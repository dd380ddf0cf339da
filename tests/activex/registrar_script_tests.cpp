/* The registrar on its own: one script per construct and per error, run in
   register and removal mode below a scratch key of HKEY_CURRENT_USER, and
   the registry read back as a flat listing. */
#include "doctest_config.h"
#include "registrar.h"
#include "testbed.h"

#include <string.h>
#include <string>
#include <vector>

namespace {

const char kScratch[] = "Software\\CorvalaTests\\Registrar";

/* Runs body below the scratch key (the levels above are NoRemove). */
HRESULT Run(const std::string &body, BOOL registering)
{
    std::string text = "HKCU\r\n{\r\n NoRemove Software { NoRemove CorvalaTests { NoRemove Registrar {\r\n" + body +
                       "\r\n} } }\r\n}\r\n";
    ScriptText script(text.begin(), text.end());
    const ScriptReplacement table[] = { { L"Module", L"C:\\it''s\\x.dll" } };
    return RunRegistrarScript(script, table, 1, registering);
}

std::string Narrow(const wchar_t *text, size_t length)
{
    return std::string(text, text + length);
}

/* Every key and value below key, one line each: "A\B" for a key,
   "A\B:name=type:data" for a value ("" names the default value). */
void List(HKEY key, const std::string &path, std::string *out)
{
    wchar_t name[256], data[512];
    for (DWORD i = 0;; i++) {
        DWORD nameLength = 256, dataSize = sizeof(data), type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, NULL, &type, (BYTE *)data, &dataSize) != ERROR_SUCCESS)
            break;
        std::string shown;
        DWORD number = 0;
        memcpy(&number, data, sizeof(number));
        if (type == REG_SZ)
            shown = "s:" + Narrow(data, wcsnlen(data, dataSize / sizeof(wchar_t)));
        else if (type == REG_DWORD)
            shown = "d:" + std::to_string(number);
        else
            for (DWORD b = 0; b < dataSize; b++)
                shown += (b ? "" : "b:") + std::to_string(((BYTE *)data)[b]) + ".";
        *out += path + ":" + Narrow(name, nameLength) + "=" + shown + "\n";
    }
    for (DWORD i = 0;; i++) {
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        std::string child = (path.empty() ? "" : path + "\\") + Narrow(name, nameLength);
        *out += child + "\n";
        HKEY sub;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            List(sub, child, out);
            RegCloseKey(sub);
        }
    }
}

std::string Listing()
{
    std::string out;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kScratch, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no scratch key>";
    List(key, "", &out);
    RegCloseKey(key);
    return out;
}

void CreateKey(const std::string &relative)
{
    HKEY key;
    REQUIRE(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kScratch) + "\\" + relative).c_str(), 0, NULL, 0,
                            KEY_WRITE, NULL, &key, NULL) == ERROR_SUCCESS);
    RegCloseKey(key);
}

struct ConstructCase {
    const char *what;
    std::vector<const char *> existing;   /* keys created first */
    const char *script;
    const char *registered;    /* listing after register mode */
    const char *removed;       /* listing after removal mode */
};

const ConstructCase kConstructs[] = {
    { "keys, default values and val entries of every type", {},
      "A = s 'text' { B { val n = d 42 val h = d 0x1F val bytes = b '0aFF' val '' = s bare } "
      "'C d' = s 'it''s' }",
      "A\nA:=s:text\nA\\B\nA\\B:=s:bare\nA\\B:bytes=b:10.255.\nA\\B:h=d:31\nA\\B:n=d:42\nA\\C d\nA\\C d:=s:it's\n", "" },
    { "keywords without regard to case; quoted keywords are names", {},
      "forceREMOVE A { VAL x = S 'y' 'val' 'NoRemove' }", "A\nA:x=s:y\nA\\NoRemove\nA\\val\n", "" },
    { "substitution: %MODULE% (any case), %% and a bare {GUID} name", {},
      "{6C0F4A2E-91B7-4D5A-8E36-3B9F12C7A4D0} = s '%module%, 1' { P = s '100%%' }",
      "{6C0F4A2E-91B7-4D5A-8E36-3B9F12C7A4D0}\n{6C0F4A2E-91B7-4D5A-8E36-3B9F12C7A4D0}:=s:C:\\it's\\x.dll, 1\n"
      "{6C0F4A2E-91B7-4D5A-8E36-3B9F12C7A4D0}\\P\n{6C0F4A2E-91B7-4D5A-8E36-3B9F12C7A4D0}\\P:=s:100%\n",
      "" },
    { "ForceRemove deletes what was below the key; a plain key keeps it until removal", { "F\\Extra", "K\\Extra" },
      "ForceRemove F { New } K { New }", "F\nF\\New\nK\nK\\Extra\nK\\New\n", "" },
    { "NoRemove keeps the key and removes what it lists", {},
      "NoRemove N = s 'v' { Inner = s 'w' }", "N\nN:=s:v\nN\\Inner\nN\\Inner:=s:w\n", "N\nN:=s:v\n" },
    { "Delete removes a key with its subtree on registering and nothing on removal", { "Old\\Sub" },
      "Delete Old Kept", "Kept\n", "" },
    { "CLSID and TYPELIB are never deleted with their subtree", { "CLSID\\Other", "TypeLib\\Other" },
      "ForceRemove CLSID { Mine } Delete TYPELIB",
      "CLSID\nCLSID\\Mine\nCLSID\\Other\nTypeLib\nTypeLib\\Other\n", "CLSID\nCLSID\\Other\nTypeLib\nTypeLib\\Other\n" },
    { "an empty CLSID key goes once its entries are removed", {}, "CLSID { Mine }", "CLSID\nCLSID\\Mine\n", "" },
};

} // namespace

TEST_CASE("each construct in register and then removal mode")
{
    for (const ConstructCase &row : kConstructs) {
        CAPTURE(row.what);
        testbed::FreshTestKey("Registrar");
        for (const char *key : row.existing)
            CreateKey(key);
        CHECK(Run(row.script, TRUE) == S_OK);
        std::string registered = Listing();
        CHECK(registered == row.registered);
        CHECK(Run(row.script, TRUE) == S_OK);
        CHECK(Listing() == registered);
        CHECK(Run(row.script, FALSE) == S_OK);
        CHECK(Listing() == row.removed);
    }
}

TEST_CASE("removal passes over keys that are not there, with what they list")
{
    testbed::FreshTestKey("Registrar");
    CreateKey("Present");
    CHECK(Run("Missing { Present { val x = s 'y' } } NoRemove Present { Gone }", FALSE) == S_OK);
    CHECK(Listing() == "Present\n");
}

TEST_CASE("a failing registry call takes its block back")
{
    testbed::FreshTestKey("Registrar");
    CreateKey("Before");
    std::string tooLong(300, 'x');
    HRESULT hr = Run("A = s 'x' { B } Before { Inside } " + tooLong + " C", TRUE);
    CHECK(FAILED(hr));
    CHECK(HRESULT_FACILITY(hr) == FACILITY_WIN32);
    /* The block is removed as far as it lists keys: Before was listed too. */
    CHECK(Listing() == "");
}

TEST_CASE("faulty scripts touch nothing")
{
    const HRESULT bad = DISP_E_EXCEPTION;
    struct {
        const char *body;
        HRESULT expected;
    } rows[] = {
        { "Z = s 'unterminated", bad }, { "Z { Y", bad }, { "Z } }", bad }, { "Z = x 'y'", bad }, { "Z = s", bad },
        { "Z = d 'abc'", bad }, { "Z = d 4294967296", bad }, { "Z = b 'abc'", bad }, { "Z = b 'zz'", bad },
        { "val = s 'x'", bad }, { "val v = s 'x' { }", bad }, { "'' = s 'x'", bad }, { "ForceRemove", bad },
        { "Z = s '%UNKNOWN%'", bad }, { "Z = s '50%'", bad }, { "Z = s '%ABCDEFGHIJKLMNOPQRSTUVWXYZ012345%'", E_FAIL },
        { "} } } } HKXX { Z", bad }, { "} } } } HKCU", bad },
    };
    for (const auto &row : rows) {
        for (BOOL registering : { TRUE, FALSE }) {
            CAPTURE(row.body);
            testbed::FreshTestKey("Registrar");
            CreateKey("Kept");
            CHECK(Run(std::string("First = s 'x' Kept ") + row.body, registering) == row.expected);
            CHECK(Listing() == "Kept\n");
        }
    }
    std::string deep;
    for (int i = 0; i < 40; i++)
        deep += "K { ";
    CHECK(Run(deep + std::string(40, '}'), TRUE) == DISP_E_EXCEPTION);
}
