/* The control object in-process: identity, aggregation, PrintFile,
   automation, class information, safety, drawing and lifetime. */
#include "object_testing.h"
#include "module.h"

#include "doctest_config.h"
#include "faults.h"

#include <ocidl.h>
#include <vector>

using namespace axtest;

TEST_CASE("every interface of the table answers with its own part of the object")
{
    ICorvalaAX *control = NewControl();
    CorvalaAXControl *object = ObjectOf(control);
    struct Row {
        const IID *iid;
        void *expected;
    } rows[] = {
        {&IID_IUnknown, static_cast<ICorvalaAX *>(object)},
        {&IID_ICorvalaAX, static_cast<ICorvalaAX *>(object)},
        {&IID_IDispatch, static_cast<ICorvalaAX *>(object)},
        {&IID_IPersistStorage, static_cast<IPersistStorage *>(object)},
        {&IID_IPersistStreamInit, static_cast<IPersistStreamInit *>(object)},
        {&IID_IProvideClassInfo, static_cast<IProvideClassInfo2 *>(object)},
        {&IID_IProvideClassInfo2, static_cast<IProvideClassInfo2 *>(object)},
        {&IID_IPersistPropertyBag, static_cast<IPersistPropertyBag *>(object)},
        {&IID_IObjectSafety, static_cast<IObjectSafety *>(object)},
        {&IID_IConnectionPointContainer, NULL},
        {&IID_IPersistStream, NULL},
        {&IID_IClassFactory, NULL},
    };
    for (const Row &row : rows) {
        void *out = reinterpret_cast<void *>(0xdeadbeef);
        HRESULT hr = control->QueryInterface(*row.iid, &out);
        CHECK(hr == (row.expected != NULL ? S_OK : E_NOINTERFACE));
        CHECK(out == row.expected);
        if (out == NULL)
            continue;
        /* Each answer leads back to the same identity. */
        IUnknown *identity = NULL;
        CHECK(static_cast<IUnknown *>(out)->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&identity)) == S_OK);
        CHECK(identity == static_cast<ICorvalaAX *>(object));
        identity->Release();
        static_cast<IUnknown *>(out)->Release();
    }
    CHECK(control->QueryInterface(IID_IDispatch, NULL) == E_POINTER);
    CHECK(control->AddRef() == 2);
    CHECK(control->Release() == 1);
    CHECK(control->Release() == 0);
}

/* An outer object that answers IUnknown only and counts what reaches it. */
class TestOuter : public IUnknown {
public:
    int queries = 0, addRefs = 0, releases = 0;
    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        queries++;
        *out = IsEqualIID(riid, IID_IUnknown) ? static_cast<IUnknown *>(this) : NULL;
        return *out != NULL ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++addRefs; }
    STDMETHODIMP_(ULONG) Release() override { return ++releases; }
};

TEST_CASE("an aggregated control asks its outer object first and hands out a separate inner unknown")
{
    PrepareControl();
    LONG locks = ModuleLockCount();
    TestOuter outer;
    void *refused = reinterpret_cast<void *>(1);
    CHECK(CreateCorvalaAX(&outer, IID_IDispatch, &refused) == CLASS_E_NOAGGREGATION);
    CHECK(refused == NULL);
    CHECK(ModuleLockCount() == locks);

    IUnknown *inner = NULL;
    REQUIRE(CreateCorvalaAX(&outer, IID_IUnknown, reinterpret_cast<void **>(&inner)) == S_OK);
    CHECK(ModuleLockCount() == locks + 1);
    IUnknown *again = NULL;
    CHECK(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&again)) == S_OK);
    CHECK(again == inner);
    again->Release();

    ICorvalaAX *control = NULL;
    CHECK(inner->QueryInterface(IID_ICorvalaAX, reinterpret_cast<void **>(&control)) == S_OK);
    CHECK(outer.addRefs == 1); /* the inner unknown's answer holds the outer */
    CHECK(outer.queries == 0);
    IUnknown *identity = NULL;
    CHECK(control->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&identity)) == S_OK);
    CHECK(identity == &outer);
    IPersistStreamInit *persist = NULL;
    CHECK(control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void **>(&persist)) == S_OK);
    CHECK(persist == static_cast<IPersistStreamInit *>(ObjectOf(control)));
    CHECK(outer.queries == 2);
    CHECK(outer.addRefs == 2);
    persist->Release();
    control->Release();
    CHECK(outer.releases == 2);
    CHECK(inner->Release() == 0);
    CHECK(ModuleLockCount() == locks);
}

TEST_CASE("PrintFile is copied in and out by the rules of OLE strings")
{
    ICorvalaAX *control = NewControl();
    BSTR first = NULL, second = NULL;
    CHECK(control->get_PrintFile(&first) == S_OK);
    REQUIRE(first != NULL);
    CHECK(SysStringLen(first) == 0);
    SysFreeString(first);

    BSTR url = SysAllocString(L"http://host/report.cv");
    CHECK(control->put_PrintFile(url) == S_OK);
    CHECK(control->get_PrintFile(&first) == S_OK);
    CHECK(control->get_PrintFile(&second) == S_OK);
    CHECK(Text(first) == L"http://host/report.cv");
    CHECK(Text(second) == Text(first));
    CHECK(first != url);
    CHECK(first != second);
    SysFreeString(url);
    SysFreeString(second);
    /* Its own string given back is copied before the old one goes. */
    CHECK(control->put_PrintFile(first) == S_OK);
    SysFreeString(first);
    CHECK(PrintFileOf(control) == L"http://host/report.cv");

    BSTR withNul = SysAllocStringLen(L"http://a\0b", 10);
    CHECK(control->put_PrintFile(withNul) == S_OK);
    SysFreeString(withNul);
    CHECK(PrintFileOf(control) == L"http://a");
    CHECK(control->put_PrintFile(NULL) == S_OK);
    CHECK(PrintFileOf(control) == L"");
    CHECK(control->get_PrintFile(NULL) == E_POINTER);
    control->Release();
}

TEST_CASE("automation finds PrintFile by name and reaches the property through the type information")
{
    ICorvalaAX *control = NewControl();
    UINT count = 0;
    CHECK(control->GetTypeInfoCount(&count) == S_OK);
    CHECK(count == 1);
    ITypeInfo *info = NULL;
    CHECK(control->GetTypeInfo(0, 0, NULL) == E_POINTER);
    REQUIRE(control->GetTypeInfo(7, LOCALE_USER_DEFAULT, &info) == S_OK);
    TYPEATTR *attr = NULL;
    REQUIRE(info->GetTypeAttr(&attr) == S_OK);
    CHECK(IsEqualGUID(attr->guid, IID_ICorvalaAX));
    info->ReleaseTypeAttr(attr);
    info->Release();

    struct Name {
        const wchar_t *name;
        HRESULT result;
        DISPID id;
    } names[] = {
        {L"PrintFile", S_OK, 1},
        {L"printFILE", S_OK, 1},
        {L"PrintFil", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
    };
    for (const Name &n : names) {
        LPOLESTR name = const_cast<LPOLESTR>(n.name);
        DISPID id = 12345;
        CHECK(control->GetIDsOfNames(IID_NULL, &name, 1, 0, &id) == n.result);
        CHECK(id == n.id);
    }

    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"http://host/a.cv");
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&value, &named, 1, 1};
    CHECK(control->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, NULL, NULL, NULL) == S_OK);
    VariantClear(&value);
    DISPPARAMS none = {NULL, NULL, 0, 0};
    CHECK(control->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, NULL, NULL) == S_OK);
    CHECK(value.vt == VT_BSTR);
    CHECK(Text(value.bstrVal) == L"http://host/a.cv");
    VariantClear(&value);
    CHECK(control->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, NULL, NULL) ==
          DISP_E_MEMBERNOTFOUND);
    control->Release();
}

TEST_CASE("class information names the coclass and no event interface; safety is always 3 and 3")
{
    ICorvalaAX *control = NewControl();
    IProvideClassInfo2 *classInfo = ObjectOf(control);
    ITypeInfo *info = NULL;
    REQUIRE(classInfo->GetClassInfo(&info) == S_OK);
    TYPEATTR *attr = NULL;
    REQUIRE(info->GetTypeAttr(&attr) == S_OK);
    CHECK(IsEqualGUID(attr->guid, CLSID_CorvalaAX));
    CHECK(attr->typekind == TKIND_COCLASS);
    info->ReleaseTypeAttr(attr);
    info->Release();
    GUID guid = IID_IDispatch;
    CHECK(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid) == E_FAIL);
    CHECK(IsEqualGUID(guid, GUID_NULL));
    CHECK(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, NULL) == E_POINTER);

    IObjectSafety *safety = ObjectOf(control);
    const IID *iids[] = {&IID_IDispatch, &IID_IPersistPropertyBag, &IID_IClassFactory};
    for (const IID *iid : iids) {
        CHECK(safety->SetInterfaceSafetyOptions(*iid, 0, 0) == S_OK);
        CHECK(safety->SetInterfaceSafetyOptions(*iid, 0xff, 0xff) == S_OK);
        DWORD supported = 0, enabled = 0;
        CHECK(safety->GetInterfaceSafetyOptions(*iid, &supported, &enabled) == S_OK);
        CHECK(supported == 3);
        CHECK(enabled == 3);
    }
    control->Release();
}

/* 32-bit pixels of a 96 by 96 memory bitmap filled with one colour. */
class PixelCanvas {
public:
    PixelCanvas()
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kSize;
        info.bmiHeader.biHeight = -kSize;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(NULL);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void **>(&bits_), NULL, 0);
        previous_ = SelectObject(dc_, bitmap_);
        std::fill(bits_, bits_ + kSize * kSize, kBackground);
    }
    ~PixelCanvas()
    {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    std::vector<DWORD> Pixels() const
    {
        GdiFlush();
        return std::vector<DWORD>(bits_, bits_ + kSize * kSize);
    }
    static const int kSize = 96;
    static const DWORD kBackground = 0x00123456;

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
    DWORD *bits_;
};

TEST_CASE("the control draws its icon at the top-left of its bounds and nothing outside them")
{
    HMODULE library = PrepareControl();
    HICON icon = LoadIconA(library, MAKEINTRESOURCEA(202));
    REQUIRE(icon != NULL);
    const RECT cases[] = {{10, 20, 90, 90}, {10, 20, 26, 30}};
    for (const RECT &bounds : cases) {
        PixelCanvas drawn, expected;
        ICorvalaAX *control = NewControl();
        CHECK(DrawCorvalaAX(control, ControlDrawInfo{drawn.Dc(), bounds}) == S_OK);
        control->Release();
        DrawIcon(expected.Dc(), bounds.left, bounds.top, icon);
        std::vector<DWORD> want = expected.Pixels();
        int iconPixels = 0;
        for (int y = 0; y < PixelCanvas::kSize; y++)
            for (int x = 0; x < PixelCanvas::kSize; x++) {
                DWORD &pixel = want[y * PixelCanvas::kSize + x];
                POINT point = {x, y};
                if (!PtInRect(&bounds, point))
                    pixel = PixelCanvas::kBackground;
                iconPixels += pixel != PixelCanvas::kBackground;
            }
        CHECK(iconPixels > 40);
        CHECK(drawn.Pixels() == want);
    }
}

static void *__cdecl FailingMalloc(size_t)
{
    return NULL;
}

TEST_CASE("creation: out of memory, a refused interface, and the lock count over a control's life")
{
    PrepareControl();
    LONG locks = ModuleLockCount();
    void *out = reinterpret_cast<void *>(1);
    {
        testbed::SysCallOverride noMemory("CorvMalloc", testbed::AsProc(FailingMalloc));
        CHECK(CreateCorvalaAX(NULL, IID_ICorvalaAX, &out) == E_OUTOFMEMORY);
        CHECK(out == NULL);
    }
    CHECK(CreateCorvalaAX(NULL, IID_IPersistStream, &out) == E_NOINTERFACE);
    CHECK(out == NULL);
    CHECK(ModuleLockCount() == locks);
    ICorvalaAX *control = NewControl();
    CHECK(ModuleLockCount() == locks + 1);
    CHECK(control->Release() == 0);
    CHECK(ModuleLockCount() == locks);
}
