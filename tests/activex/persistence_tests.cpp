/* Saving and loading the control's properties in property bags, streams
   and storages, and what a stream may not make the control do. */
#include "object_testing.h"
#include "module.h"

#include "doctest_config.h"

#include <string>
#include <utility>
#include <vector>

using namespace axtest;

/* A property bag over a list of named values that records what was asked. */
struct TestBag : IPropertyBag {
    std::vector<std::pair<std::wstring, VARIANT>> values;
    std::vector<std::pair<std::wstring, VARTYPE>> reads;
    HRESULT writeResult = S_OK;

    TestBag() = default;
    TestBag(const TestBag &) = delete;
    ~TestBag()
    {
        for (auto &entry : values)
            VariantClear(&entry.second);
    }
    TestBag &With(const wchar_t *name, const wchar_t *text, ULONG number = 0)
    {
        VARIANT value;
        value.vt = text != NULL ? VT_BSTR : VT_UI4;
        if (text != NULL)
            value.bstrVal = SysAllocString(text);
        else
            value.ulVal = number;
        values.emplace_back(name, value);
        return *this;
    }
    STDMETHODIMP QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT *value, IErrorLog *) override
    {
        reads.emplace_back(name, value->vt);
        for (auto &entry : values)
            if (entry.first == name)
                return VariantCopy(value, &entry.second);
        return E_INVALIDARG;
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT *value) override
    {
        VARIANT copy;
        VariantInit(&copy);
        if (SUCCEEDED(writeResult) && SUCCEEDED(VariantCopy(&copy, value)))
            values.emplace_back(name, copy);
        return writeResult;
    }
};

TEST_CASE("a property bag sets what it holds and leaves the rest; a saved bag loads into another control")
{
    const struct {
        const char *what;
        void (*fill)(TestBag &bag);
        const wchar_t *printFile;
        LONG cx, cy;
    } cases[] = {
        {"empty bag", [](TestBag &) {}, L"keep", 5080, 5080},
        {"page parameter", [](TestBag &b) { b.With(L"PrintFile", L"http://h/r.cv"); }, L"http://h/r.cv", 5080, 5080},
        {"extent, one as text", [](TestBag &b) { b.With(L"_cx", NULL, 100).With(L"_cy", L"200"); }, L"keep", 100, 200},
        {"extent not a number", [](TestBag &b) { b.With(L"_cx", L"wide"); }, L"keep", 5080, 5080},
    };
    for (const auto &c : cases) {
        INFO(std::string(c.what));
        TestBag bag, saved;
        c.fill(bag);
        ICorvalaAX *control = NewControl(), *copy = NewControl();
        SetPrintFile(control, L"keep");
        CHECK(ObjectOf(control)->Load(&bag, NULL) == S_OK);
        CHECK(PrintFileOf(control) == c.printFile);
        CHECK((ExtentOf(control).cx == c.cx && ExtentOf(control).cy == c.cy));
        const std::vector<std::pair<std::wstring, VARTYPE>> asked = {{L"_cx", VT_UI4}, {L"_cy", VT_UI4}, {L"PrintFile", VT_BSTR}};
        CHECK(bag.reads == asked);

        CHECK(ObjectOf(control)->Save(&saved, TRUE, FALSE) == S_OK);
        REQUIRE(saved.values.size() == 3);
        for (size_t i = 0; i < 3; i++)
            CHECK((saved.values[i].first == asked[i].first && saved.values[i].second.vt == asked[i].second));
        CHECK(ObjectOf(copy)->Load(&saved, NULL) == S_OK);
        CHECK(PrintFileOf(copy) == c.printFile);
        CHECK((ExtentOf(copy).cx == c.cx && ExtentOf(copy).cy == c.cy));
        saved.writeResult = STG_E_ACCESSDENIED;
        CHECK(ObjectOf(control)->Save(&saved, TRUE, FALSE) == STG_E_ACCESSDENIED);
        CHECK(copy->Release() == 0);
        CHECK(control->Release() == 0);
    }
}

/* Little-endian stream fields. */
static std::string U32(uint32_t v)
{
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
static std::string U16(uint16_t v)
{
    return std::string{char(v), char(v >> 8)};
}
static std::string Header(uint32_t version = 0x300, uint32_t cx = 100, uint32_t cy = 200)
{
    return U32(version) + U32(cx) + U32(cy);
}
/* A stored string; text should end with its zero character. */
static std::string StringValue(const std::wstring &text)
{
    std::string bytes = U16(VT_BSTR) + U32(static_cast<uint32_t>(2 * text.size()));
    for (wchar_t c : text)
        bytes += U16(static_cast<uint16_t>(c));
    return bytes;
}

static IStream *StreamOf(const std::string &bytes)
{
    IStream *stream = NULL;
    REQUIRE(CreateStreamOnHGlobal(NULL, TRUE, &stream) == S_OK);
    REQUIRE(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), NULL) == S_OK);
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, NULL);
    return stream;
}

static std::string SavedStream(ICorvalaAX *control)
{
    IStream *stream = StreamOf("");
    CHECK(static_cast<IPersistStreamInit *>(ObjectOf(control))->Save(stream, TRUE) == S_OK);
    ULARGE_INTEGER size = {};
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_CUR, &size);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    stream->Seek(start, STREAM_SEEK_SET, NULL);
    stream->Read(&bytes[0], static_cast<ULONG>(bytes.size()), NULL);
    stream->Release();
    return bytes;
}

static HRESULT LoadStream(ICorvalaAX *control, const std::string &bytes)
{
    IStream *stream = StreamOf(bytes);
    HRESULT hr = static_cast<IPersistStreamInit *>(ObjectOf(control))->Load(stream);
    stream->Release();
    return hr;
}

TEST_CASE("a new control saves a 20-byte stream, and a stream round trip keeps every property")
{
    ICorvalaAX *control = NewControl(), *copy = NewControl();
    IPersistStreamInit *persist = ObjectOf(control);
    CLSID clsid = {};
    CHECK(persist->InitNew() == S_OK);
    CHECK(SavedStream(control) == Header(0x300, 5080, 5080) + StringValue(std::wstring(1, L'\0')));
    CHECK((persist->GetClassID(&clsid) == S_OK && IsEqualCLSID(clsid, CLSID_CorvalaAX)));
    CHECK(persist->GetSizeMax(NULL) == E_NOTIMPL);
    std::string saved = Header() + StringValue(std::wstring(L"http://h/x.cv") + L'\0');
    CHECK(LoadStream(control, saved) == S_OK);
    CHECK(persist->IsDirty() == S_FALSE);
    CHECK(LoadStream(copy, SavedStream(control)) == S_OK);
    CHECK(SavedStream(copy) == saved);
    copy->Release();
    control->Release();
}

TEST_CASE("a refused or short stream leaves every property as it was")
{
    const std::wstring url = std::wstring(L"http://h/y.cv") + L'\0';
    const struct {
        const char *what;
        std::string bytes;
        HRESULT result;
        const wchar_t *printFile;
    } cases[] = {
        {"newer version", Header(0x301) + StringValue(url), E_FAIL, L"before"},
        {"older version", Header(0x200) + StringValue(url), S_OK, L"http://h/y.cv"},
        {"empty", "", E_FAIL, L"before"},
        {"half a version", std::string("\x00\x03", 2), E_FAIL, L"before"},
        {"no VARTYPE", Header(), E_FAIL, L"before"},
        {"half a VARTYPE", Header() + "\x08", E_FAIL, L"before"},
        {"no length", Header() + U16(VT_BSTR), E_FAIL, L"before"},
        {"object", Header() + U16(VT_UNKNOWN) + U32(0), E_FAIL, L"before"},
        {"dispatch object", Header() + U16(VT_DISPATCH) + U32(0), E_FAIL, L"before"},
        {"empty type", Header() + U16(VT_EMPTY) + U32(0), E_FAIL, L"before"},
        {"by reference", Header() + U16(VT_BSTR | VT_BYREF) + U32(2) + U16(0), E_FAIL, L"before"},
        {"array", Header() + U16(VT_ARRAY | VT_UI1) + U32(2) + U16(0), E_FAIL, L"before"},
        {"odd length", Header() + U16(VT_BSTR) + U32(3) + std::string("a\0\0", 3), E_FAIL, L"before"},
        {"over 64 KiB", Header() + U16(VT_BSTR) + U32(65538) + std::string(65538, '\0'), E_FAIL, L"before"},
        {"longer than the stream", Header() + U16(VT_BSTR) + U32(64) + StringValue(url).substr(6), E_FAIL, L"before"},
        {"no zero character", Header() + StringValue(L"ab"), E_FAIL, L"before"},
        {"short number", Header() + U16(VT_I4) + "\x2a", E_FAIL, L"before"},
        {"number", Header() + U16(VT_I4) + U32(42), S_OK, L"42"},
        {"null string", Header() + U16(VT_BSTR) + U32(0), S_OK, L""},
        {"longest string", Header() + StringValue(std::wstring(32767, L'a') + L'\0'), S_OK, NULL},
    };
    for (const auto &c : cases) {
        INFO(std::string(c.what));
        ICorvalaAX *control = NewControl();
        SetPrintFile(control, L"before");
        CHECK(LoadStream(control, c.bytes) == c.result);
        if (c.printFile != NULL)
            CHECK(PrintFileOf(control) == c.printFile);
        SIZEL extent = ExtentOf(control);
        CHECK((c.result == S_OK ? extent.cx == 100 && extent.cy == 200 : extent.cx == 5080 && extent.cy == 5080));
        control->Release();
    }
}

TEST_CASE("a storage keeps the properties in its Contents stream")
{
    ILockBytes *bytes = NULL;
    IStorage *storage = NULL;
    IStream *contents = NULL;
    REQUIRE(CreateILockBytesOnHGlobal(NULL, TRUE, &bytes) == S_OK);
    REQUIRE(StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage) == S_OK);
    ICorvalaAX *control = NewControl(), *copy = NewControl();
    IPersistStorage *persist = ObjectOf(control);
    CHECK(persist->Load(storage) == STG_E_FILENOTFOUND);
    CHECK(persist->InitNew(storage) == S_OK);
    SetPrintFile(control, L"http://h/stored.cv");
    CHECK(persist->Save(storage, TRUE) == S_OK);
    CHECK(persist->SaveCompleted(NULL) == S_OK);
    REQUIRE(storage->OpenStream(L"Contents", NULL, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &contents) == S_OK);
    CHECK(static_cast<IPersistStreamInit *>(ObjectOf(copy))->Load(contents) == S_OK);
    contents->Release();
    CHECK(PrintFileOf(copy) == L"http://h/stored.cv");
    SetPrintFile(copy, L"changed");
    CHECK(static_cast<IPersistStorage *>(ObjectOf(copy))->Load(storage) == S_OK);
    CHECK(PrintFileOf(copy) == L"http://h/stored.cv");
    copy->Release();
    control->Release();
    storage->Release();
    bytes->Release();
}

TEST_CASE("without the registered type library automation and persistence of PrintFile fail")
{
    PrepareControl();
    const SYSKIND own = sizeof(void *) == 8 ? SYS_WIN64 : SYS_WIN32;
    REQUIRE(UnRegisterTypeLib(LIBID_CORVALAACTIVEXLib, 1, 0, 0, own) == S_OK);
    /* The other width's registration would serve too (a 64-bit process falls
       back to win32), and both widths' tests share the prefix. */
    UnRegisterTypeLib(LIBID_CORVALAACTIVEXLib, 1, 0, 0, own == SYS_WIN64 ? SYS_WIN32 : SYS_WIN64);
    ModuleEnd(); /* releases the type information loaded so far */
    ModuleStart(NULL, 0, GetModuleHandleA(NULL));
    ICorvalaAX *control = NewControl();
    DISPPARAMS none = {NULL, NULL, 0, 0};
    VARIANT value;
    VariantInit(&value);
    CHECK(control->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, NULL, NULL) == TYPE_E_LIBNOTREGISTERED);
    IStream *stream = StreamOf("");
    CHECK(static_cast<IPersistStreamInit *>(ObjectOf(control))->Save(stream, TRUE) == E_FAIL);
    stream->Release();
    TestBag bag;
    CHECK(ObjectOf(control)->Load(&bag, NULL) == E_FAIL);
    control->Release();
    RegisterControlTypeLib();
}
