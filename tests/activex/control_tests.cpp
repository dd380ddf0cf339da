/* The control object in-process: identity, aggregation, PrintFile,
   automation, class information, safety, drawing and lifetime. */
#include "object_testing.h"
#include "module.h"

#include "doctest_config.h"
#include "faults.h"

using namespace axtest;

template <class T>
static void **Out(T **pointer)
{
    return reinterpret_cast<void **>(pointer);
}

TEST_CASE("every interface of the table answers with its own part of the object")
{
    ICorvalaAX *control = NewControl();
    CorvalaAXControl *object = ObjectOf(control);
    const struct {
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
    for (const auto &row : rows) {
        IUnknown *out = reinterpret_cast<IUnknown *>(0xdeadbeef), *identity = NULL;
        CHECK(control->QueryInterface(*row.iid, Out(&out)) == (row.expected != NULL ? S_OK : E_NOINTERFACE));
        CHECK(out == row.expected);
        if (out == NULL)
            continue;
        CHECK(out->QueryInterface(IID_IUnknown, Out(&identity)) == S_OK);
        CHECK(identity == static_cast<ICorvalaAX *>(object));
        identity->Release();
        out->Release();
    }
    CHECK(control->QueryInterface(IID_IDispatch, NULL) == E_POINTER);
    CHECK(control->AddRef() == 2);
    CHECK(control->Release() == 1);
    CHECK(control->Release() == 0);
}

TEST_CASE("an aggregated control asks its outer object first and keeps a separate inner unknown")
{
    PrepareControl();
    LONG locks = ModuleLockCount();
    TestOuter outer;
    IUnknown *inner = reinterpret_cast<IUnknown *>(1), *again = NULL, *identity = NULL;
    CHECK(CreateCorvalaAX(&outer, IID_IDispatch, Out(&inner)) == CLASS_E_NOAGGREGATION);
    CHECK(inner == NULL);
    REQUIRE(CreateCorvalaAX(&outer, IID_IUnknown, Out(&inner)) == S_OK);
    CHECK(ModuleLockCount() == locks + 1);
    CHECK(inner->QueryInterface(IID_IUnknown, Out(&again)) == S_OK);
    CHECK(again == inner);
    again->Release();

    ICorvalaAX *control = NULL;
    IPersistStreamInit *persist = NULL;
    CHECK(inner->QueryInterface(IID_ICorvalaAX, Out(&control)) == S_OK);
    CHECK(outer.queries == 0);
    CHECK(outer.addRefs == 1); /* what the inner unknown hands out holds the outer */
    CHECK(control->QueryInterface(IID_IUnknown, Out(&identity)) == S_OK);
    CHECK(identity == &outer);
    CHECK(control->QueryInterface(IID_IPersistStreamInit, Out(&persist)) == S_OK);
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
    REQUIRE(first != NULL); /* empty, not NULL */
    CHECK(SysStringLen(first) == 0);
    SysFreeString(first);

    BSTR url = SysAllocString(L"http://host/report.cv");
    CHECK(control->put_PrintFile(url) == S_OK);
    CHECK(control->get_PrintFile(&first) == S_OK);
    CHECK(control->get_PrintFile(&second) == S_OK);
    CHECK(Text(first) == L"http://host/report.cv");
    CHECK(Text(second) == Text(first));
    CHECK((first != url && first != second));
    SysFreeString(url);
    SysFreeString(second);
    CHECK(control->put_PrintFile(first) == S_OK); /* a copy of its own value */
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

TEST_CASE("automation, class information and safety options")
{
    ICorvalaAX *control = NewControl();
    UINT count = 0;
    CHECK(control->GetTypeInfoCount(&count) == S_OK);
    CHECK(count == 1);
    ITypeInfo *infos[2] = {};
    CHECK(control->GetTypeInfo(0, 0, NULL) == E_POINTER);
    REQUIRE(control->GetTypeInfo(7, LOCALE_USER_DEFAULT, &infos[0]) == S_OK);
    REQUIRE(ObjectOf(control)->GetClassInfo(&infos[1]) == S_OK);
    const GUID *described[] = {&IID_ICorvalaAX, &CLSID_CorvalaAX};
    for (int i = 0; i < 2; i++) {
        TYPEATTR *attr = NULL;
        REQUIRE(infos[i]->GetTypeAttr(&attr) == S_OK);
        CHECK(IsEqualGUID(attr->guid, *described[i]));
        infos[i]->ReleaseTypeAttr(attr);
        infos[i]->Release();
    }
    GUID guid = IID_IDispatch;
    CHECK(ObjectOf(control)->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid) == E_FAIL);
    CHECK(IsEqualGUID(guid, GUID_NULL));

    const struct {
        const wchar_t *name;
        HRESULT result;
        DISPID id;
    } names[] = {{L"PrintFile", S_OK, 1}, {L"printFILE", S_OK, 1}, {L"PrintFil", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN}};
    for (const auto &n : names) {
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
    DISPPARAMS put = {&value, &named, 1, 1}, none = {NULL, NULL, 0, 0};
    CHECK(control->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, NULL, NULL, NULL) == S_OK);
    VariantClear(&value);
    CHECK(control->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, NULL, NULL) == S_OK);
    CHECK((value.vt == VT_BSTR && Text(value.bstrVal) == L"http://host/a.cv"));
    VariantClear(&value);
    CHECK(control->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, NULL, NULL) == DISP_E_MEMBERNOTFOUND);

    for (const IID *iid : {&IID_IDispatch, &IID_IPersistPropertyBag, &IID_IClassFactory}) {
        DWORD supported = 0, enabled = 0;
        CHECK(ObjectOf(control)->SetInterfaceSafetyOptions(*iid, 0, 0) == S_OK);
        CHECK(ObjectOf(control)->SetInterfaceSafetyOptions(*iid, 0xff, 0xff) == S_OK);
        CHECK(ObjectOf(control)->GetInterfaceSafetyOptions(*iid, &supported, &enabled) == S_OK);
        CHECK((supported == 3 && enabled == 3));
    }
    control->Release();
}

TEST_CASE("the control draws its icon at the top-left of its bounds and nothing outside them")
{
    HICON icon = LoadIconA(PrepareControl(), MAKEINTRESOURCEA(202));
    REQUIRE(icon != NULL);
    for (const RECT &bounds : {RECT{10, 20, 90, 90}, RECT{10, 20, 26, 30}}) {
        Canvas drawn, expected;
        ICorvalaAX *control = NewControl();
        CHECK(DrawCorvalaAX(control, ControlDrawInfo{drawn.dc, bounds}) == S_OK);
        control->Release();
        DrawIcon(expected.dc, bounds.left, bounds.top, icon);
        GdiFlush();
        int iconPixels = 0;
        for (int i = 0; i < Canvas::kSize * Canvas::kSize; i++) {
            POINT point = {i % Canvas::kSize, i / Canvas::kSize};
            if (!PtInRect(&bounds, point))
                expected.bits[i] = Canvas::kPaper;
            iconPixels += expected.bits[i] != Canvas::kPaper;
        }
        CHECK(iconPixels > 40);
        CHECK(std::equal(drawn.bits, drawn.bits + Canvas::kSize * Canvas::kSize, expected.bits));
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
