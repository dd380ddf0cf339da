/* The control library as a COM client meets it: exports, class object,
   lock count, and the resources it carries.  The module's allocation and
   clean-up paths run in process with a class table of the test's own. */
#include "doctest_config.h"
#include "class_factory.h"
#include "control.h"
#include "faults.h"
#include "module.h"
#include "object_testing.h"
#include "testbed.h"

#include "CorvalaActiveX_h.h"

#include <ole2.h>
#include <stdio.h>
#include <string>
#include <vector>

using testbed::WinePath;

namespace {

struct Library {
    HMODULE module;
    HRESULT(WINAPI *canUnloadNow)(void);
    HRESULT(WINAPI *getClassObject)(REFCLSID, REFIID, void **);

    Library() : module(LoadLibraryA(WinePath(AX_LIBRARY_PATH).c_str()))
    {
        REQUIRE(module != NULL);
        canUnloadNow = (HRESULT(WINAPI *)(void))GetProcAddress(module, "DllCanUnloadNow");
        getClassObject = (HRESULT(WINAPI *)(REFCLSID, REFIID, void **))GetProcAddress(module, "DllGetClassObject");
        REQUIRE((void *)canUnloadNow != nullptr);
        REQUIRE((void *)getClassObject != nullptr);
    }
    ~Library() { FreeLibrary(module); }

    IClassFactory *Factory()
    {
        IClassFactory *factory = nullptr;
        REQUIRE(getClassObject(CLSID_CorvalaAX, IID_IClassFactory, (void **)&factory) == S_OK);
        return factory;
    }
};

void *Sentinel() { return (void *)(ULONG_PTR)0x5A5A; }

} // namespace

TEST_CASE("a fresh library can be unloaded; DllGetClassObject's results; the class object stays cached")
{
    Library library;
    CHECK(library.canUnloadNow() == S_OK);
    const struct {
        const CLSID *clsid;
        const IID *iid;
        bool nullOut;
        HRESULT expected;
    } rows[] = {
        { &CLSID_CorvalaAX, &IID_IClassFactory, true, E_POINTER },
        { &IID_ICorvalaAX, &IID_IClassFactory, false, CLASS_E_CLASSNOTAVAILABLE },
        { &CLSID_CorvalaAX, &IID_IClassFactory2, false, E_NOINTERFACE },
        { &CLSID_CorvalaAX, &IID_IUnknown, false, S_OK },
        { &CLSID_CorvalaAX, &IID_IClassFactory, false, S_OK },
    };
    void *first = nullptr;
    for (const auto &row : rows) {
        CAPTURE(row.expected);
        void *out = Sentinel();
        CHECK(library.getClassObject(*row.clsid, *row.iid, row.nullOut ? nullptr : &out) == row.expected);
        if (row.expected != S_OK) {
            CHECK(out == (row.nullOut ? Sentinel() : nullptr));
            CHECK(library.canUnloadNow() == S_OK);
            continue;
        }
        /* Every request answers with the one cached object. */
        IUnknown *unknown = nullptr;
        REQUIRE(((IUnknown *)out)->QueryInterface(IID_IUnknown, (void **)&unknown) == S_OK);
        CHECK((first == nullptr || first == unknown));
        first = unknown;
        CHECK(library.canUnloadNow() == S_FALSE);
        unknown->Release();
        ((IUnknown *)out)->Release();
        CHECK(library.canUnloadNow() == S_OK);
    }
}

TEST_CASE("the lock count: held class objects, LockServer, control objects")
{
    Library library;
    IClassFactory *factory = library.Factory();
    IClassFactory *second = library.Factory();
    CHECK(factory == second);
    second->Release();
    CHECK(library.canUnloadNow() == S_FALSE);

    CHECK(factory->LockServer(TRUE) == S_OK);
    CHECK(factory->LockServer(TRUE) == S_OK);
    factory->Release();
    CHECK(library.canUnloadNow() == S_FALSE);
    factory = library.Factory();
    CHECK(factory->LockServer(FALSE) == S_OK);
    CHECK(factory->LockServer(FALSE) == S_OK);
    CHECK(library.canUnloadNow() == S_FALSE);

    void *out = Sentinel();
    axtest::TestOuter outer;
    CHECK(factory->CreateInstance(nullptr, IID_IUnknown, nullptr) == E_POINTER);
    CHECK(factory->CreateInstance(&outer, IID_ICorvalaAX, &out) == CLASS_E_NOAGGREGATION);
    CHECK(out == nullptr);
    CHECK(factory->CreateInstance(&outer, IID_IDispatch, &out) == CLASS_E_NOAGGREGATION);

    IUnknown *plain = nullptr, *inner = nullptr;
    REQUIRE(factory->CreateInstance(nullptr, IID_IUnknown, (void **)&plain) == S_OK);
    REQUIRE(factory->CreateInstance(&outer, IID_IUnknown, (void **)&inner) == S_OK);
    CHECK(factory->CreateInstance(nullptr, IID_IClassFactory, &out) == E_NOINTERFACE);
    CHECK(out == nullptr);
    factory->Release();
    CHECK(library.canUnloadNow() == S_FALSE);
    plain->Release();
    CHECK(library.canUnloadNow() == S_FALSE);
    inner->Release();
    CHECK(library.canUnloadNow() == S_OK);
    CHECK(outer.addRefs == outer.releases);
}

/* --- the module in process ------------------------------------------ */

namespace {

std::string g_trace;

void *__cdecl NoMemory(size_t) { return nullptr; }
void NoteStartEnd(bool starting) { g_trace += starting ? "start " : "end "; }
void NoteCleanup(void *context) { g_trace += (const char *)context; }

const CLSID kTestClass = { 0x1234, 0x5678, 0x9abc, { 1, 2, 3, 4, 5, 6, 7, 8 } };

} // namespace

TEST_CASE("in process: allocation failures, the cache, hooks and clean-up order")
{
    ClassRow rows[] = { { &kTestClass, nullptr, CreateClassFactory, CreateCorvalaAX, nullptr, nullptr, NoteStartEnd } };
    g_trace.clear();
    ModuleStart(rows, 1, GetModuleHandleA(nullptr));
    CHECK(g_trace == "start ");
    CHECK(ModuleLockCount() == 0);

    IClassFactory *factory = nullptr;
    {
        testbed::SysCallOverride fail("CorvMalloc", testbed::AsProc(NoMemory));
        CHECK(ModuleGetClassObject(kTestClass, IID_IClassFactory, (void **)&factory) == E_OUTOFMEMORY);
        CHECK(factory == nullptr);
        CHECK(rows[0].classObject == nullptr);
        CHECK(ModuleAddCleanup(NoteCleanup, (void *)"never ") == FALSE);
    }
    REQUIRE(ModuleGetClassObject(kTestClass, IID_IClassFactory, (void **)&factory) == S_OK);
    CHECK(rows[0].classObject != nullptr);
    CHECK(ModuleLockCount() == 1);
    void *object = Sentinel();
    {
        testbed::SysCallOverride fail("CorvMalloc", testbed::AsProc(NoMemory));
        CHECK(factory->CreateInstance(nullptr, IID_IUnknown, &object) == E_OUTOFMEMORY);
    }
    CHECK(object == nullptr);
    CHECK(ModuleLockCount() == 1);
    factory->Release();
    CHECK(ModuleLockCount() == 0);

    CHECK(ModuleAddCleanup(NoteCleanup, (void *)"first "));
    CHECK(ModuleAddCleanup(NoteCleanup, (void *)"second "));
    ModuleEnd();
    CHECK(g_trace == "start end second first ");
    CHECK(rows[0].classObject == nullptr);
}

/* --- resources -------------------------------------------------------- */

namespace {

const WORD kLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::string Resource(HMODULE module, LPCSTR type, LPCSTR name)
{
    HRSRC found = FindResourceExA(module, type, name, kLanguage);
    if (found == NULL)
        return "<missing>";
    return std::string((const char *)LockResource(LoadResource(module, found)), SizeofResource(module, found));
}

std::string Narrow(BSTR text)
{
    std::string out = text ? std::string(text, text + SysStringLen(text)) : "<null>";
    SysFreeString(text);
    return out;
}

/* One line per type description or function, for table comparisons. */
std::string Describe(ITypeInfo *info)
{
    TYPEATTR *t = nullptr;
    REQUIRE(info->GetTypeAttr(&t) == S_OK);
    wchar_t guid[40];
    StringFromGUID2(t->guid, guid, 40);
    BSTR name = nullptr, doc = nullptr;
    info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr);
    char text[300];
    snprintf(text, sizeof(text), "%ls %s|%s kind %d flags 0x%x v%d.%d impl %d funcs %d vft %d", guid,
             Narrow(name).c_str(), Narrow(doc).c_str(), t->typekind, t->wTypeFlags, t->wMajorVerNum,
             t->wMinorVerNum, t->cImplTypes, t->cFuncs, t->cbSizeVft);
    info->ReleaseTypeAttr(t);
    return text;
}

std::string DescribeFunc(ITypeInfo *info, UINT index)
{
    FUNCDESC *f = nullptr;
    REQUIRE(info->GetFuncDesc(index, &f) == S_OK);
    BSTR doc = nullptr;
    info->GetDocumentation(f->memid, nullptr, &doc, nullptr, nullptr);
    char text[300];
    snprintf(text, sizeof(text), "id %ld invoke %d kind %d conv %d slot %d flags %d returns %d params %d: 0x%x vt %d %s",
             f->memid, f->invkind, f->funckind, f->callconv, (int)(f->oVft / sizeof(void *)), f->wFuncFlags,
             f->elemdescFunc.tdesc.vt, f->cParams, f->lprgelemdescParam[0].paramdesc.wParamFlags,
             f->lprgelemdescParam[0].tdesc.vt, Narrow(doc).c_str());
    info->ReleaseFuncDesc(f);
    return text;
}

struct DataFile {
    HMODULE module = LoadLibraryExA(WinePath(AX_LIBRARY_PATH).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ~DataFile() { FreeLibrary(module); }
};

} // namespace

TEST_CASE("REGISTRY 101 is the script byte for byte; icon group 202; no bitmap")
{
    DataFile file;
    REQUIRE(file.module != NULL);
    std::string script = testbed::ReadBytes(WinePath(AX_SCRIPT_PATH));
    CHECK(Resource(file.module, "REGISTRY", MAKEINTRESOURCEA(101)) == script);
    /* The file's own peculiarities survive checkouts. */
    CHECK(script.find("\r\n\t\t\t    '1' = s '131473'\r\n") != std::string::npos);
    CHECK(script.find("\t\t\tForceRemove 'Programmable'\r\n\t\t\tInprocServer32") != std::string::npos);
    CHECK(script.rfind("\t\t\tForceRemove 'Programmable'\r\n\t\t\tForceRemove 'Insertable'") != std::string::npos);
    CHECK(script.compare(0, 6, "HKCR\r\n") == 0);
    CHECK(script.size() == 815);

    std::string group = Resource(file.module, (LPCSTR)RT_GROUP_ICON, MAKEINTRESOURCEA(202));
    REQUIRE(group.size() == 6 + 14);
    const BYTE *entry = (const BYTE *)group.data() + 6;
    CHECK(*(const WORD *)(group.data() + 4) == 1);
    CHECK((entry[0] == 32 && entry[1] == 32 && entry[2] == 16));
    CHECK(*(const WORD *)(entry + 6) == 4);
    CHECK(*(const WORD *)(entry + 12) == 1);
    std::string image = Resource(file.module, (LPCSTR)RT_ICON, MAKEINTRESOURCEA(1));
    REQUIRE(image.size() >= sizeof(BITMAPINFOHEADER));
    CHECK(((const BITMAPINFOHEADER *)image.data())->biBitCount == 4);
    CHECK(FindResourceA(file.module, MAKEINTRESOURCEA(1), (LPCSTR)RT_BITMAP) == NULL);

    Library library;
    HICON icon = LoadIconA(library.module, MAKEINTRESOURCEA(202));
    CHECK(icon != NULL);
    DestroyIcon(icon);
}

TEST_CASE("TYPELIB 1 describes the library, the class and the dual interface")
{
    std::string path = WinePath(AX_LIBRARY_PATH);
    ITypeLib *library = nullptr;
    REQUIRE(LoadTypeLibEx(std::wstring(path.begin(), path.end()).c_str(), REGKIND_NONE, &library) == S_OK);
    TLIBATTR *attr = nullptr;
    REQUIRE(library->GetLibAttr(&attr) == S_OK);
    CHECK(IsEqualGUID(attr->guid, LIBID_CORVALAACTIVEXLib));
    CHECK((attr->wMajorVerNum == 1 && attr->wMinorVerNum == 0 && attr->lcid == 0));
    CHECK((attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE) == 0); /* the loader adds the disk-image flag */
    CHECK(attr->syskind == (sizeof(void *) == 8 ? SYS_WIN64 : SYS_WIN32));
    library->ReleaseTLibAttr(attr);
    BSTR name = nullptr, doc = nullptr, help = nullptr;
    library->GetDocumentation(-1, &name, &doc, nullptr, &help);
    CHECK(Narrow(name) + "|" + Narrow(doc) + "|" + Narrow(help) ==
          "CORVALAACTIVEXLib|CorvalaActiveX 1.0 Type Library|<null>");
    REQUIRE(library->GetTypeInfoCount() == 2);

    ITypeInfo *coclass = nullptr, *dispatch = nullptr, *vtable = nullptr, *base = nullptr;
    HREFTYPE ref = 0;
    REQUIRE(library->GetTypeInfo(0, &coclass) == S_OK);
    REQUIRE(library->GetTypeInfo(1, &dispatch) == S_OK);
    REQUIRE(dispatch->GetRefTypeOfImplType(-1, &ref) == S_OK);
    REQUIRE(dispatch->GetRefTypeInfo(ref, &vtable) == S_OK);
    REQUIRE(vtable->GetRefTypeOfImplType(0, &ref) == S_OK);
    REQUIRE(vtable->GetRefTypeInfo(ref, &base) == S_OK);
    const int vft = 9 * (int)sizeof(void *);
    /* Wine reports the dispatch half without FOLEAUTOMATION (0x1040). */
    CHECK(Describe(coclass) == "{6C0F4A2E-91B7-4D5A-8E36-3B9F12C7A4D0} CorvalaAX|CorvalaAX Class kind 5 flags 0x2 "
                               "v0.0 impl 1 funcs 0 vft 0");
    CHECK(Describe(dispatch).find("{6C0F4A2D-91B7-4D5A-8E36-3B9F12C7A4D0} ICorvalaAX|ICorvalaAX Interface kind 4 ") == 0);
    CHECK(Describe(vtable) == "{6C0F4A2D-91B7-4D5A-8E36-3B9F12C7A4D0} ICorvalaAX|ICorvalaAX Interface kind 3 "
                              "flags 0x1140 v0.0 impl 1 funcs 2 vft " + std::to_string(vft));
    CHECK(Describe(base).find("{00020400-0000-0000-C000-000000000046} IDispatch|") == 0);
    INT implFlags = 0;
    CHECK((coclass->GetImplTypeFlags(0, &implFlags) == S_OK && implFlags == IMPLTYPEFLAG_FDEFAULT));
    CHECK(DescribeFunc(vtable, 0) == "id 1 invoke 2 kind 1 conv 4 slot 7 flags 0 returns 25 params 1: 0xa vt 26 "
                                     "property PrintFile");
    CHECK(DescribeFunc(vtable, 1) == "id 1 invoke 4 kind 1 conv 4 slot 8 flags 0 returns 25 params 1: 0x1 vt 8 "
                                     "property PrintFile");
    BSTR names[2] = {};
    UINT count = 0;
    CHECK((vtable->GetNames(1, names, 2, &count) == S_OK && count == 2));
    CHECK(Narrow(names[0]) + "|" + Narrow(names[1]) == "PrintFile|pVal");
    for (IUnknown *unknown : std::vector<IUnknown *>{ base, vtable, dispatch, coclass, library })
        unknown->Release();
}

TEST_CASE("the version resource: 1.0.5.0, block 040904b0, keys in order")
{
    std::string path = WinePath(AX_LIBRARY_PATH);
    DWORD handle = 0, size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    REQUIRE(size > 0);
    std::vector<BYTE> info(size);
    REQUIRE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    REQUIRE(VerQueryValueA(info.data(), "\\", (void **)&fixed, &length));
    CHECK((fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0x00050000 &&
           fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0x00050000));
    CHECK((fixed->dwFileFlagsMask == 0x3F && fixed->dwFileFlags == 0 && fixed->dwFileOS == VOS__WINDOWS32 &&
           fixed->dwFileType == VFT_DLL && fixed->dwFileSubtype == 0));
    WORD *translation = nullptr;
    REQUIRE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", (void **)&translation, &length));
    CHECK((length == 4 && translation[0] == 0x0409 && translation[1] == 0x04B0));

    const char *keys[][2] = {
        { "Comments", "" }, { "CompanyName", nullptr },
        { "FileDescription", "Corvala/400 ActiveX Version" }, { "FileVersion", "1, 0, 5, 0" },
        { "InternalName", "CORVALAACTIVEX" }, { "LegalCopyright", nullptr }, { "LegalTrademarks", "" },
        { "OriginalFilename", "CORVALAACTIVEX.DLL" }, { "PrivateBuild", "" },
        { "ProductName", "Corvala/400 ActiveX Version" }, { "ProductVersion", "1, 0, 5, 0" }, { "SpecialBuild", "" },
    };
    /* The raw block lists the keys as UTF-16 names; their order is the
       order of their first bytes. */
    DataFile file;
    std::string raw = Resource(file.module, (LPCSTR)RT_VERSION, MAKEINTRESOURCEA(1));
    size_t previous = 0;
    for (const auto &key : keys) {
        CAPTURE(key[0]);
        char *value = nullptr;
        std::string query = std::string("\\StringFileInfo\\040904b0\\") + key[0];
        REQUIRE(VerQueryValueA(info.data(), query.c_str(), (void **)&value, &length));
        if (key[1] != nullptr)
            CHECK(std::string(value ? value : "") == key[1]);
        else
            CHECK(std::string(value ? value : "").size() > 0);
        std::string wide;
        for (const char *c = key[0]; *c; c++)
            wide += std::string(1, *c) + '\0';
        size_t at = raw.find(wide + std::string(2, '\0'));
        CHECK(at != std::string::npos);
        CHECK(at > previous);
        previous = at;
    }
}
