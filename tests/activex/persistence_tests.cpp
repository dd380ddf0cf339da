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
class TestBag : public IPropertyBag {
public:
    std::vector<std::pair<std::wstring, VARIANT>> values;
    std::vector<std::pair<std::wstring, VARTYPE>> reads;
    HRESULT writeResult = S_OK;

    TestBag() = default;
    TestBag(const TestBag &) = delete;
    TestBag &operator=(const TestBag &) = delete;
    ~TestBag()
    {
        for (auto &entry : values)
            VariantClear(&entry.second);
    }
    TestBag &With(const wchar_t *name, VARTYPE type, const wchar_t *text = NULL, ULONG number = 0)
    {
        VARIANT value;
        VariantInit(&value);
        value.vt = type;
        if (type == VT_BSTR)
            value.bstrVal = SysAllocString(text);
        else
            value.ulVal = number;
        values.emplace_back(name, value);
        return *this;
    }
    const VARIANT *Find(const wchar_t *name) const
    {
        for (const auto &entry : values)
            if (entry.first == name)
                return &entry.second;
        return NULL;
    }
    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag) ? this : NULL;
        return *out != NULL ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT *value, IErrorLog *) override
    {
        reads.emplace_back(name, value->vt);
        const VARIANT *found = Find(name);
        return found != NULL ? VariantCopy(value, const_cast<VARIANT *>(found)) : E_INVALIDARG;
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT *value) override
    {
        if (FAILED(writeResult))
            return writeResult;
        VARIANT copy;
        VariantInit(&copy);
        VariantCopy(&copy, value);
        values.emplace_back(name, copy);
        return S_OK;
    }
};

/* Little-endian stream bytes. */
static std::string U32(uint32_t v)
{
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
static std::string U16(uint16_t v)
{
    return std::string{char(v), char(v >> 8)};
}
static std::string Utf16(const std::wstring &text)
{
    std::string bytes;
    for (wchar_t c : text)
        bytes += U16(static_cast<uint16_t>(c));
    return bytes;
}
static std::string Header(uint32_t version = 0x300)
{
    return U32(version) + U32(100) + U32(200);
}
static std::string StringValue(const std::wstring &textWithZero)
{
    return U16(VT_BSTR) + U32(static_cast<uint32_t>(2 * textWithZero.size())) + Utf16(textWithZero);
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

static std::string BytesOf(IStream *stream)
{
    STATSTG stat = {};
    REQUIRE(stream->Stat(&stat, STATFLAG_NONAME) == S_OK);
    std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, NULL);
    ULONG got = 0;
    stream->Read(&bytes[0], static_cast<ULONG>(bytes.size()), &got);
    CHECK(got == bytes.size());
    return bytes;
}

static std::string SavedStream(ICorvalaAX *control)
{
    IStream *stream = NULL;
    REQUIRE(CreateStreamOnHGlobal(NULL, TRUE, &stream) == S_OK);
    CHECK(static_cast<IPersistStreamInit *>(ObjectOf(control))->Save(stream, TRUE) == S_OK);
    std::string bytes = BytesOf(stream);
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

TEST_CASE("a property bag sets what it holds and leaves the rest")
{
    struct Case {
        const char *what;
        void (*fill)(TestBag &bag);
        std::wstring printFile;
        LONG cx, cy;
    } cases[] = {
        {"empty bag", [](TestBag &) {}, L"keep", 5080, 5080},
        {"page parameter", [](TestBag &b) { b.With(L"PrintFile", VT_BSTR, L"http://h/r.cv"); },
         L"http://h/r.cv", 5080, 5080},
        {"extent, one as text", [](TestBag &b) { b.With(L"_cx", VT_UI4, NULL, 100).With(L"_cy", VT_BSTR, L"200"); },
         L"keep", 100, 200},
        {"extent not a number", [](TestBag &b) { b.With(L"_cx", VT_BSTR, L"wide"); }, L"keep", 5080, 5080},
    };
    for (const Case &c : cases) {
        INFO(c.what);
        TestBag bag;
        c.fill(bag);
        ICorvalaAX *control = NewControl();
        SetPrintFile(control, L"keep");
        CHECK(static_cast<IPersistPropertyBag *>(ObjectOf(control))->Load(&bag, NULL) == S_OK);
        CHECK(PrintFileOf(control) == c.printFile);
        CHECK(ExtentOf(control).cx == c.cx);
        CHECK(ExtentOf(control).cy == c.cy);
        /* Asked in order, each in the type the control wants. */
        REQUIRE(bag.reads.size() == 3);
        CHECK(bag.reads[0] == std::make_pair(std::wstring(L"_cx"), VARTYPE(VT_UI4)));
        CHECK(bag.reads[1] == std::make_pair(std::wstring(L"_cy"), VARTYPE(VT_UI4)));
        CHECK(bag.reads[2] == std::make_pair(std::wstring(L"PrintFile"), VARTYPE(VT_BSTR)));
        control->Release();
    }
}

TEST_CASE("a property bag saved by one control loads into another")
{
    ICorvalaAX *control = NewControl();
    IPersistPropertyBag *persist = ObjectOf(control);
    TestBag setup;
    setup.With(L"_cx", VT_UI4, NULL, 1234).With(L"PrintFile", VT_BSTR, L"http://h/saved.cv");
    CHECK(persist->Load(&setup, NULL) == S_OK);
    TestBag saved;
    CHECK(persist->Save(&saved, TRUE, FALSE) == S_OK);
    REQUIRE(saved.values.size() == 3);
    CHECK(saved.values[0].first == L"_cx");
    CHECK(saved.values[0].second.vt == VT_UI4);
    CHECK(saved.values[0].second.ulVal == 1234);
    CHECK(saved.values[1].first == L"_cy");
    CHECK(saved.values[1].second.ulVal == 5080);
    CHECK(saved.values[2].first == L"PrintFile");
    CHECK(Text(saved.values[2].second.bstrVal) == L"http://h/saved.cv");
    TestBag failing;
    failing.writeResult = STG_E_ACCESSDENIED;
    CHECK(persist->Save(&failing, TRUE, FALSE) == STG_E_ACCESSDENIED);
    CHECK(persist->Save(NULL, TRUE, FALSE) == E_POINTER);

    ICorvalaAX *copy = NewControl();
    CHECK(static_cast<IPersistPropertyBag *>(ObjectOf(copy))->Load(&saved, NULL) == S_OK);
    CHECK(PrintFileOf(copy) == L"http://h/saved.cv");
    CHECK(ExtentOf(copy).cx == 1234);
    CHECK(control->Release() == 0);
    CHECK(copy->Release() == 0);
}

TEST_CASE("a new control saves a 20-byte stream, and a stream round trip keeps every property")
{
    ICorvalaAX *control = NewControl();
    IPersistStreamInit *persist = ObjectOf(control);
    CHECK(persist->InitNew() == S_OK);
    CHECK(SavedStream(control) == Header().substr(0, 4) + U32(5080) + U32(5080) + StringValue(std::wstring(1, L'\0')));
    CLSID clsid = {};
    CHECK(persist->GetClassID(&clsid) == S_OK);
    CHECK(IsEqualCLSID(clsid, CLSID_CorvalaAX));
    CHECK(persist->GetSizeMax(NULL) == E_NOTIMPL);

    std::string saved = Header() + StringValue(std::wstring(L"http://h/x.cv") + L'\0');
    CHECK(LoadStream(control, saved) == S_OK);
    CHECK(persist->IsDirty() == S_FALSE);
    ICorvalaAX *copy = NewControl();
    CHECK(LoadStream(copy, SavedStream(control)) == S_OK);
    CHECK(SavedStream(copy) == saved);
    CHECK(PrintFileOf(copy) == L"http://h/x.cv");
    copy->Release();
    control->Release();
}

TEST_CASE("a refused or short stream leaves every property as it was")
{
    const std::wstring url = std::wstring(L"http://h/y.cv") + L'\0';
    struct Case {
        const char *what;
        std::string bytes;
        HRESULT result;
        const wchar_t *printFile; /* NULL: unchanged */
    } cases[] = {
        {"newer version", Header(0x301) + StringValue(url), E_FAIL, NULL},
        {"older version", Header(0x200) + StringValue(url), S_OK, L"http://h/y.cv"},
        {"empty", "", E_FAIL, NULL},
        {"half a version", std::string("\x00\x03", 2), E_FAIL, NULL},
        {"no VARTYPE", Header(), E_FAIL, NULL},
        {"half a VARTYPE", Header() + "\x08", E_FAIL, NULL},
        {"no length", Header() + U16(VT_BSTR), E_FAIL, NULL},
        {"object", Header() + U16(VT_UNKNOWN) + U32(0), E_FAIL, NULL},
        {"dispatch object", Header() + U16(VT_DISPATCH) + U32(0), E_FAIL, NULL},
        {"empty type", Header() + U16(VT_EMPTY) + U32(0), E_FAIL, NULL},
        {"by reference", Header() + U16(VT_BSTR | VT_BYREF) + U32(2) + U16(0), E_FAIL, NULL},
        {"array", Header() + U16(VT_ARRAY | VT_UI1) + U32(2) + U16(0), E_FAIL, NULL},
        {"odd length", Header() + U16(VT_BSTR) + U32(3) + std::string("a\0\0", 3), E_FAIL, NULL},
        {"over 64 KiB", Header() + U16(VT_BSTR) + U32(65538) + std::string(65538, '\0'), E_FAIL, NULL},
        {"longer than the stream", Header() + U16(VT_BSTR) + U32(0x7ffffff0) + Utf16(url), E_FAIL, NULL},
        {"no zero character", Header() + U16(VT_BSTR) + U32(4) + Utf16(L"ab"), E_FAIL, NULL},
        {"short number", Header() + U16(VT_I4) + "\x2a", E_FAIL, NULL},
        {"number", Header() + U16(VT_I4) + U32(42), S_OK, L"42"},
        {"null string", Header() + U16(VT_BSTR) + U32(0), S_OK, L""},
        {"longest string", Header() + StringValue(std::wstring(32767, L'a') + L'\0'), S_OK, NULL},
    };
    for (const Case &c : cases) {
        INFO(c.what);
        ICorvalaAX *control = NewControl();
        SetPrintFile(control, L"before");
        CHECK(LoadStream(control, c.bytes) == c.result);
        bool changed = c.result == S_OK;
        if (c.printFile != NULL)
            CHECK(PrintFileOf(control) == c.printFile);
        else if (!changed)
            CHECK(PrintFileOf(control) == L"before");
        CHECK(ExtentOf(control).cx == (changed ? 100 : 5080));
        CHECK(ExtentOf(control).cy == (changed ? 200 : 5080));
        control->Release();
    }
}

TEST_CASE("a storage keeps the properties in its Contents stream")
{
    ILockBytes *bytes = NULL;
    IStorage *storage = NULL;
    REQUIRE(CreateILockBytesOnHGlobal(NULL, TRUE, &bytes) == S_OK);
    REQUIRE(StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                         &storage) == S_OK);
    ICorvalaAX *control = NewControl();
    IPersistStorage *persist = ObjectOf(control);
    CHECK(persist->Load(storage) == STG_E_FILENOTFOUND);
    CHECK(persist->InitNew(storage) == S_OK);
    CHECK(persist->IsDirty() == S_FALSE);
    SetPrintFile(control, L"http://h/stored.cv");
    CHECK(persist->Save(storage, TRUE) == S_OK);
    CHECK(persist->SaveCompleted(NULL) == S_OK);

    IStream *contents = NULL;
    REQUIRE(storage->OpenStream(L"Contents", NULL, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &contents) == S_OK);
    ICorvalaAX *copy = NewControl();
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
    REQUIRE(UnRegisterTypeLib(LIBID_CORVALAACTIVEXLib, 1, 0, 0, SYS_WIN64) == S_OK);
    ModuleEnd(); /* drops the loaded type information */
    ModuleStart(NULL, 0, GetModuleHandleA(NULL));
    ICorvalaAX *control = NewControl();
    DISPPARAMS none = {NULL, NULL, 0, 0};
    VARIANT value;
    VariantInit(&value);
    CHECK(control->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, NULL, NULL) ==
          TYPE_E_LIBNOTREGISTERED);
    IStream *stream = StreamOf("");
    CHECK(static_cast<IPersistStreamInit *>(ObjectOf(control))->Save(stream, TRUE) == E_FAIL);
    stream->Release();
    TestBag bag;
    CHECK(static_cast<IPersistPropertyBag *>(ObjectOf(control))->Load(&bag, NULL) == E_FAIL);
    CHECK(PrintFileOf(control) == L"");
    control->Release();

    RegisterControlTypeLib();
}
