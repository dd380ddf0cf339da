/* The control inside a container of our own: a scripted site that offers
   a chosen set of in-place interfaces and writes down every call the
   control makes, in order.  Verbs, the windowless/windowed negotiation, UI
   activation, closing, drawing, hit tests, extents and the metafile. */
#include "doctest_config.h"
#include "control_hooks.h"
#include "object_testing.h"
#include "testbed.h"
#include "dialogs.h"
#include "download_job.h"
#include "faults.h"
#include "module.h"

#include "CorvalaActiveX_h.h"

#include <ole2.h>
#include <olectl.h>
#include <ocidl.h>
#include <string>

namespace {

enum SiteKind { NoInPlace, Plain, Extended, Windowless };
enum Ambient { NoAmbients, RunMode, DesignMode };

using axtest::Canvas;

/* Every interface a container offers; QueryInterface answers only those
   the test asks for.  It is also the view sink it hands over, only held. */
struct ScriptedSite : IOleClientSite, IOleInPlaceSiteWindowless, IOleControlSite, IDispatch, IAdviseSinkEx {
    SiteKind kind = Windowless;
    Ambient ambient = RunMode;
    VARTYPE modeType = VT_BOOL;          /* the type UserMode comes in */
    const wchar_t *modeText = nullptr;   /* for VT_BSTR */
    HRESULT canWindowless = S_OK, canInPlace = S_OK, uiActivate = S_OK, propertyFrame = S_OK;
    HWND window = NULL;
    RECT position = {10, 10, 74, 74};
    std::string trace;

    void Note(const std::string &call) { trace += (trace.empty() ? "" : " ") + call; }

    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite)
            *out = static_cast<IOleClientSite *>(this);
        else if ((riid == IID_IOleInPlaceSite && kind >= Plain) || (riid == IID_IOleInPlaceSiteEx && kind >= Extended) ||
                 (riid == IID_IOleInPlaceSiteWindowless && kind == Windowless))
            *out = static_cast<IOleInPlaceSiteWindowless *>(this);
        else if (riid == IID_IOleControlSite)
            *out = static_cast<IOleControlSite *>(this);
        else if (riid == IID_IDispatch && ambient != NoAmbients)
            *out = static_cast<IDispatch *>(this);
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    /* IOleClientSite */
    STDMETHODIMP SaveObject() override { Note("SaveObject"); return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker **) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer **) override { return E_NOINTERFACE; }
    STDMETHODIMP ShowObject() override { Note("ShowObject"); return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL show) override { Note("OnShowWindow(" + std::to_string(show) + ")"); return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    /* IOleInPlaceSite, Ex, Windowless */
    STDMETHODIMP GetWindow(HWND *out) override { *out = window; return window ? S_OK : E_FAIL; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { Note("CanInPlaceActivate"); return canInPlace; }
    STDMETHODIMP OnInPlaceActivate() override { Note("OnInPlaceActivate"); return S_OK; }
    STDMETHODIMP OnUIActivate() override { Note("OnUIActivate"); return uiActivate; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame **frame, IOleInPlaceUIWindow **document, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO) override
    {
        *frame = nullptr;
        *document = nullptr;
        *pos = *clip = position;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { Note("OnUIDeactivate"); return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { Note("OnInPlaceDeactivate"); return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return E_NOTIMPL; }
    STDMETHODIMP OnInPlaceActivateEx(BOOL *, DWORD flags) override
    {
        Note("OnInPlaceActivateEx(" + std::to_string(flags) + ")");
        return S_OK;
    }
    STDMETHODIMP OnInPlaceDeactivateEx(BOOL) override { Note("OnInPlaceDeactivateEx"); return S_OK; }
    STDMETHODIMP RequestUIActivate() override { return S_OK; }
    STDMETHODIMP CanWindowlessActivate() override { Note("CanWindowlessActivate"); return canWindowless; }
    STDMETHODIMP GetCapture() override { return S_FALSE; }
    STDMETHODIMP SetCapture(BOOL) override { return S_OK; }
    STDMETHODIMP GetFocus() override { return S_FALSE; }
    STDMETHODIMP SetFocus(BOOL focus) override { Note("SetFocus(" + std::to_string(focus) + ")"); return S_OK; }
    STDMETHODIMP GetDC(LPCRECT, DWORD, HDC *) override { return E_FAIL; }
    STDMETHODIMP ReleaseDC(HDC) override { return S_OK; }
    STDMETHODIMP InvalidateRect(LPCRECT, BOOL) override { Note("InvalidateRect"); return S_OK; }
    STDMETHODIMP InvalidateRgn(HRGN, BOOL) override { return S_OK; }
    STDMETHODIMP ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return E_NOTIMPL; }
    STDMETHODIMP AdjustRect(LPRECT) override { return S_OK; }
    STDMETHODIMP OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT *) override { return S_FALSE; }

    /* IOleControlSite */
    STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
    STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    STDMETHODIMP GetExtendedControl(IDispatch **) override { return E_NOTIMPL; }
    STDMETHODIMP TransformCoords(POINTL *, POINTF *, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG *, DWORD) override { return S_FALSE; }
    STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
    STDMETHODIMP ShowPropertyFrame() override { Note("ShowPropertyFrame"); return propertyFrame; }

    /* IDispatch: the ambient UserMode only. */
    STDMETHODIMP GetTypeInfoCount(UINT *) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *result, EXCEPINFO *, UINT *) override
    {
        if (id != DISPID_AMBIENT_USERMODE)
            return DISP_E_MEMBERNOTFOUND;
        result->vt = modeType;
        if (modeType == VT_I4)
            result->lVal = ambient == RunMode;
        else if (modeType == VT_BSTR)
            result->bstrVal = SysAllocString(modeText);
        else if (modeType == VT_BOOL)
            result->boolVal = ambient == RunMode ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    /* IAdviseSinkEx */
    STDMETHODIMP_(void) OnDataChange(FORMATETC *, STGMEDIUM *) override {}
    STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override {}
    STDMETHODIMP_(void) OnRename(IMoniker *) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override {}
    STDMETHODIMP_(void) OnViewStatusChange(DWORD) override {}
};

/* Jobs and property frames as the control asks for them. */
int g_jobs = 0;
std::string g_frames;

HRESULT CountJob(BSTR, IUnknown *, char *) { g_jobs++; return S_OK; }
HRESULT WINAPI RecordFrame(HWND, UINT, UINT, LPCOLESTR, ULONG objects, LPUNKNOWN *, ULONG pages, LPCLSID, LCID lcid,
                           DWORD, LPVOID)
{
    g_frames += std::to_string(objects) + " " + std::to_string(pages) + " " + std::to_string(lcid);
    return S_OK;
}

/* A new control whose job and property frame go to the recorders, with
   the icon of the real library. */
struct Control {
    IOleObject *object = nullptr;

    Control()
    {
        static HMODULE library = LoadLibraryA(testbed::WinePath(AX_LIBRARY_PATH).c_str());
        SetControlIconModule(library);
        SetJobStarter(CountJob);
        SetSysCall("OleCreatePropertyFrame", testbed::AsProc(RecordFrame));
        g_jobs = 0;
        g_frames.clear();
        REQUIRE(CreateCorvalaAX(nullptr, IID_IOleObject, (void **)&object) == S_OK);
    }
    ~Control()
    {
        object->Release();
        SetSysCall("OleCreatePropertyFrame", NULL);
    }
    template <class I> I *As(REFIID riid)
    {
        I *out = nullptr;
        REQUIRE(object->QueryInterface(riid, (void **)&out) == S_OK);
        out->Release();   /* the control holds it as long as object */
        return out;
    }
    HRESULT Verb(LONG verb, ScriptedSite &site)
    {
        object->SetClientSite(&site);
        return object->DoVerb(verb, nullptr, &site, 0, site.window, &site.position);
    }
};

struct ParentWindow {
    HWND hwnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, NULL, NULL, NULL, NULL);
    ~ParentWindow() { DestroyWindow(hwnd); }
};

} // namespace

TEST_CASE("the OLE interfaces answer, extended ones sharing one pointer")
{
    Control control;
    const IID *groups[][3] = {
        { &IID_IViewObjectEx, &IID_IViewObject2, &IID_IViewObject },
        { &IID_IOleInPlaceObjectWindowless, &IID_IOleInPlaceObject, &IID_IOleWindow },
        { &IID_IOleInPlaceActiveObject, &IID_IOleControl, &IID_IOleObject },
        { &IID_IQuickActivate, &IID_ISpecifyPropertyPages, &IID_IDataObject },
    };
    for (int g = 0; g < 4; g++) {
        void *pointers[3];
        for (int i = 0; i < 3; i++) {
            REQUIRE(control.object->QueryInterface(*groups[g][i], &pointers[i]) == S_OK);
            ((IUnknown *)pointers[i])->Release();
        }
        CHECK((g >= 2 || (pointers[0] == pointers[1] && pointers[1] == pointers[2])));
    }
    void *none = nullptr;
    CHECK(control.object->QueryInterface(IID_IConnectionPointContainer, &none) == E_NOINTERFACE);
}

TEST_CASE("every verb: result, job, and the site's calls in order")
{
    const char *windowless = "CanWindowlessActivate OnInPlaceActivateEx(1) ";
    const struct {
        LONG verb;
        Ambient ambient;
        HRESULT expected;
        int jobs;
        std::string trace;
    } rows[] = {
        { OLEIVERB_INPLACEACTIVATE, RunMode, S_OK, 1, windowless + std::string("ShowObject InvalidateRect") },
        { OLEIVERB_INPLACEACTIVATE, DesignMode, S_OK, 0, windowless + std::string("ShowObject InvalidateRect") },
        { OLEIVERB_INPLACEACTIVATE, NoAmbients, S_OK, 1,
          windowless + std::string("OnUIActivate SetFocus(1) ShowObject InvalidateRect") },
        { OLEIVERB_PRIMARY, RunMode, S_OK, 1, windowless + std::string("ShowObject InvalidateRect") },
        { OLEIVERB_PRIMARY, DesignMode, S_OK, 0, "ShowPropertyFrame" },
        { OLEIVERB_SHOW, RunMode, S_OK, 0, windowless + std::string("ShowObject") },
        { OLEIVERB_SHOW, NoAmbients, S_OK, 0, windowless + std::string("OnUIActivate SetFocus(1) ShowObject") },
        { OLEIVERB_UIACTIVATE, RunMode, S_OK, 0, windowless + std::string("OnUIActivate SetFocus(1) ShowObject") },
        { OLEIVERB_PROPERTIES, RunMode, S_OK, 0, "ShowPropertyFrame" },
        { OLEIVERB_OPEN, RunMode, S_OK, 0, "" },
        { OLEIVERB_HIDE, RunMode, S_OK, 0, "" },
        { OLEIVERB_DISCARDUNDOSTATE, RunMode, S_OK, 0, "" },
        { 1, RunMode, E_NOTIMPL, 0, "" },
        { -8, RunMode, E_NOTIMPL, 0, "" },
    };
    for (const auto &row : rows) {
        CAPTURE(row.verb);
        CAPTURE(row.ambient);
        ScriptedSite site;
        Control control;
        site.ambient = row.ambient;
        CHECK(control.Verb(row.verb, site) == row.expected);
        CHECK(g_jobs == row.jobs);
        CHECK(site.trace == row.trace);
    }
}

TEST_CASE("UserMode in another type: read as a boolean; only an unreadable one is run mode")
{
    const struct {
        VARTYPE type;
        Ambient ambient;
        const wchar_t *text;
        int jobs;
    } rows[] = {
        { VT_I4, DesignMode, nullptr, 0 }, { VT_I4, RunMode, nullptr, 1 },   { VT_BSTR, RunMode, L"False", 0 },
        { VT_BSTR, RunMode, L"0", 0 },     { VT_BSTR, RunMode, L"True", 1 }, { VT_BSTR, RunMode, L"maybe", 1 },
        { VT_EMPTY, RunMode, nullptr, 1 },
    };
    for (const auto &row : rows) {
        CAPTURE(row.type);
        CAPTURE(row.jobs);
        ScriptedSite site;
        Control control;
        site.modeType = row.type;
        site.ambient = row.ambient;
        site.modeText = row.text;
        CHECK(control.Verb(OLEIVERB_INPLACEACTIVATE, site) == S_OK);
        CHECK(g_jobs == row.jobs);
    }
}

TEST_CASE("negotiation: windowless, windowed in a child window, refused, impossible")
{
    const struct {
        SiteKind kind;
        HRESULT canWindowless, canInPlace, expected;
        bool window;
        std::string trace;
    } rows[] = {
        { Windowless, S_OK, S_OK, S_OK, false, "CanWindowlessActivate OnInPlaceActivateEx(1) ShowObject" },
        { Windowless, S_FALSE, S_OK, S_OK, true, "CanWindowlessActivate OnInPlaceActivateEx(0) ShowObject" },
        { Extended, S_OK, S_OK, S_OK, true, "OnInPlaceActivateEx(0) ShowObject" },
        { Plain, S_OK, S_OK, S_OK, true, "CanInPlaceActivate OnInPlaceActivate ShowObject" },
        { Plain, S_OK, S_FALSE, E_FAIL, false, "CanInPlaceActivate" },
        { NoInPlace, S_OK, S_OK, E_FAIL, false, "" },
    };
    for (const auto &row : rows) {
        CAPTURE(row.kind);
        CAPTURE(row.canWindowless);
        ScriptedSite site;
        Control control;
        ParentWindow parent;
        site.kind = row.kind;
        site.canWindowless = row.canWindowless;
        site.canInPlace = row.canInPlace;
        site.window = parent.hwnd;
        CHECK(control.Verb(OLEIVERB_SHOW, site) == row.expected);
        CHECK(site.trace == row.trace);
        auto *inPlace = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
        HWND hwnd = NULL;
        HRESULT noWindow = row.kind == Windowless && row.canWindowless == S_OK ? E_FAIL : E_UNEXPECTED;
        CHECK(inPlace->GetWindow(&hwnd) == (row.window ? S_OK : noWindow));
        if (row.window) {
            CHECK(GetParent(hwnd) == parent.hwnd);
            CHECK(GetWindowLongA(hwnd, GWL_STYLE) == 0x56000000);
            CHECK(GetWindowLongA(hwnd, GWL_EXSTYLE) == 0);
            RECT placed;
            GetWindowRect(hwnd, &placed);
            MapWindowPoints(NULL, parent.hwnd, (POINT *)&placed, 2);
            CHECK(EqualRect(&placed, &site.position));
        }
        site.trace.clear();
        CHECK(control.object->Close(OLECLOSE_SAVEIFDIRTY) == S_OK);
        CHECK(site.trace == (row.expected != S_OK ? "" : row.window ? "OnShowWindow(0) OnInPlaceDeactivate" : "OnInPlaceDeactivate"));
        CHECK((hwnd == NULL || !IsWindow(hwnd)));
        /* Once windowless, never a window, even after Close. */
        CHECK(inPlace->GetWindow(&hwnd) == noWindow);
    }
}

TEST_CASE("UI activation and deactivation, a refusing site, and activation after Close")
{
    ScriptedSite site;
    Control control;
    auto *inPlace = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
    auto *active = control.As<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
    site.uiActivate = E_ACCESSDENIED;
    CHECK(control.Verb(OLEIVERB_UIACTIVATE, site) == E_ACCESSDENIED);
    site.uiActivate = S_OK;
    site.trace.clear();
    CHECK(control.Verb(OLEIVERB_UIACTIVATE, site) == S_OK);   /* asks again */
    CHECK(control.Verb(OLEIVERB_UIACTIVATE, site) == S_OK);   /* already UI active */
    CHECK(site.trace == "OnUIActivate SetFocus(1) ShowObject");
    site.trace.clear();
    CHECK(active->OnDocWindowActivate(FALSE) == S_OK);
    CHECK(inPlace->UIDeactivate() == S_OK);
    CHECK(control.Verb(OLEIVERB_UIACTIVATE, site) == S_OK);
    CHECK(inPlace->InPlaceDeactivate() == S_OK);
    CHECK(inPlace->InPlaceDeactivate() == S_OK);
    CHECK(site.trace == "OnUIDeactivate OnUIActivate SetFocus(1) ShowObject OnUIDeactivate OnInPlaceDeactivate");
    CHECK(control.object->Close(OLECLOSE_NOSAVE) == S_OK);
    site.trace.clear();
    CHECK(control.Verb(OLEIVERB_INPLACEACTIVATE, site) == S_OK);
    CHECK(site.trace == "CanWindowlessActivate OnInPlaceActivateEx(1) ShowObject InvalidateRect");
    CHECK(g_jobs == 1);
}

TEST_CASE("Draw: aspects, bounds in the caller's mapping, clipped to them, metafiles")
{
    ScriptedSite site;
    Control control;
    auto *view = control.As<IViewObjectEx>(IID_IViewObjectEx);
    const struct {
        DWORD aspect;
        RECTL bounds;
        POINT origin;
        HRESULT expected;
        RECT drawnIn;
        POINT body;   /* inside the printer's body, at (15, 20) of the icon */
    } rows[] = {
        { DVASPECT_CONTENT, { 10, 10, 90, 90 }, { 0, 0 }, S_OK, { 10, 10, 42, 42 }, { 25, 30 } },
        { DVASPECT_OPAQUE, { 10, 10, 26, 31 }, { 0, 0 }, S_OK, { 10, 10, 26, 31 }, { 25, 30 } },
        { DVASPECT_TRANSPARENT, { 0, 0, 64, 64 }, { 20, 20 }, S_OK, { 20, 20, 52, 52 }, { 35, 40 } },
        { DVASPECT_THUMBNAIL, { 0, 0, 64, 64 }, { 0, 0 }, DV_E_DVASPECT, { 0, 0, 0, 0 }, { -1, -1 } },
        { DVASPECT_ICON, { 0, 0, 64, 64 }, { 0, 0 }, DV_E_DVASPECT, { 0, 0, 0, 0 }, { -1, -1 } },
    };
    for (const auto &row : rows) {
        CAPTURE(row.aspect);
        Canvas canvas;
        SetViewportOrgEx(canvas.dc, row.origin.x, row.origin.y, NULL);
        CHECK(view->Draw(row.aspect, -1, nullptr, nullptr, NULL, canvas.dc, &row.bounds, nullptr, nullptr, 0) ==
              row.expected);
        CHECK(canvas.DrawnOutside(row.drawnIn) == 0);
        CHECK((row.body.x < 0 || canvas.Drawn(row.body.x, row.body.y)));
        POINT origin;
        GetViewportOrgEx(canvas.dc, &origin);
        CHECK(origin.x == row.origin.x);   /* the caller's state is back */
    }
    Canvas canvas;
    CHECK(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, NULL, canvas.dc, nullptr, nullptr, nullptr, 0) ==
          E_INVALIDARG);
    HDC recorder = CreateMetaFileA(NULL);
    RECTL bounds = { 0, 0, 32, 32 };
    CHECK(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, NULL, recorder, &bounds, nullptr, nullptr, 0) == S_OK);
    DeleteMetaFile(CloseMetaFile(recorder));

    /* The window paints the same picture into the context WM_PAINT brings. */
    ParentWindow parent;
    site.kind = Extended;
    site.window = parent.hwnd;
    REQUIRE(control.Verb(OLEIVERB_SHOW, site) == S_OK);
    HWND hwnd = NULL;
    REQUIRE(control.As<IOleWindow>(IID_IOleWindow)->GetWindow(&hwnd) == S_OK);
    SendMessageA(hwnd, WM_PAINT, (WPARAM)canvas.dc, 0);
    CHECK(canvas.Drawn(15, 20));
    CHECK(canvas.DrawnOutside({ 0, 0, 32, 32 }) == 0);
}

TEST_CASE("hit tests exclude the right and bottom edges; windowless painting")
{
    ScriptedSite site;
    ParentWindow parent;
    Control control;
    auto *view = control.As<IViewObjectEx>(IID_IViewObjectEx);
    const RECT bounds = { 10, 10, 20, 20 };
    const struct {
        POINT point;
        DWORD expected;
    } points[] = {
        { { 10, 10 }, HITRESULT_HIT }, { { 19, 19 }, HITRESULT_HIT }, { { 20, 15 }, HITRESULT_OUTSIDE },
        { { 15, 20 }, HITRESULT_OUTSIDE }, { { 9, 15 }, HITRESULT_OUTSIDE },
    };
    for (const auto &row : points) {
        CAPTURE(row.point.x);
        CAPTURE(row.point.y);
        DWORD hit = 99;
        CHECK(view->QueryHitPoint(DVASPECT_CONTENT, &bounds, row.point, 0, &hit) == S_OK);
        CHECK(hit == row.expected);
    }
    DWORD hit = 99;
    RECT touching = { 20, 10, 30, 20 }, inside = { 19, 19, 30, 30 };
    CHECK(view->QueryHitRect(DVASPECT_CONTENT, &bounds, &touching, 0, &hit) == S_OK);
    CHECK(hit == HITRESULT_OUTSIDE);
    CHECK(view->QueryHitRect(DVASPECT_CONTENT, &bounds, &inside, 0, &hit) == S_OK);
    CHECK(hit == HITRESULT_HIT);
    CHECK(view->QueryHitPoint(DVASPECT_ICON, &bounds, POINT{ 15, 15 }, 0, &hit) == E_FAIL);
    DWORD status = 0;
    CHECK(view->GetViewStatus(&status) == S_OK);
    CHECK(status == 3);

    site.window = parent.hwnd;
    REQUIRE(control.Verb(OLEIVERB_SHOW, site) == S_OK);
    auto *windowless = control.As<IOleInPlaceObjectWindowless>(IID_IOleInPlaceObjectWindowless);
    Canvas canvas;
    LRESULT result = 1;
    CHECK(windowless->OnWindowMessage(WM_PAINT, (WPARAM)canvas.dc, 0, &result) == S_OK);
    CHECK(result == 0);
    CHECK(canvas.Drawn(25, 30));   /* at the site's position, 10, 10 */
    CHECK(windowless->OnWindowMessage(WM_LBUTTONDOWN, 0, 0, &result) == S_FALSE);
}

TEST_CASE("extents: the object's, the view's, the natural one and quick activation's")
{
    Control control;
    IOleObject *object = control.object;
    auto *view = control.As<IViewObjectEx>(IID_IViewObjectEx);
    auto *quick = control.As<IQuickActivate>(IID_IQuickActivate);
    SIZEL size = { 1000, 2000 }, read = { 0, 0 };
    const struct {
        DWORD aspect;
        SIZEL *size;
        HRESULT set, get;
    } rows[] = {
        { DVASPECT_ICON, &size, DV_E_DVASPECT, E_FAIL },
        { DVASPECT_CONTENT, nullptr, E_POINTER, E_POINTER },
        { DVASPECT_CONTENT, &size, S_OK, S_OK },
    };
    for (const auto &row : rows) {
        CAPTURE(row.aspect);
        CHECK(object->SetExtent(row.aspect, row.size) == row.set);
        CHECK(object->GetExtent(row.aspect, row.size ? &read : nullptr) == row.get);
    }
    CHECK((read.cx == 1000 && read.cy == 2000));
    CHECK(view->GetExtent(DVASPECT_ICON, -1, nullptr, &read) == S_OK);
    CHECK(read.cx == 1000);
    DVEXTENTINFO content = { sizeof content, DVEXTENT_CONTENT, { 0, 0 } };
    DVEXTENTINFO integral = { sizeof integral, DVEXTENT_INTEGRAL, { 0, 0 } };
    CHECK(view->GetNaturalExtent(DVASPECT_CONTENT, -1, nullptr, NULL, &content, &read) == S_OK);
    CHECK((read.cx == 5080 && read.cy == 5080));
    CHECK(view->GetNaturalExtent(DVASPECT_CONTENT, -1, nullptr, NULL, &integral, &read) == E_FAIL);
    SIZEL quickSize = { 300, 400 };
    CHECK(quick->SetContentExtent(&quickSize) == S_OK);
    CHECK(quick->GetContentExtent(&read) == S_OK);
    CHECK(read.cy == 400);
}

TEST_CASE("GetData renders a metafile picture of the extent; other media are refused")
{
    Control control;
    auto *data = control.As<IDataObject>(IID_IDataObject);
    FORMATETC global = { CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL };
    FORMATETC picture = { CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT };
    STGMEDIUM medium = {};
    CHECK(data->GetData(&global, &medium) == DV_E_FORMATETC);
    REQUIRE(data->GetData(&picture, &medium) == S_OK);
    CHECK(medium.tymed == TYMED_MFPICT);
    CHECK(medium.pUnkForRelease == nullptr);
    METAFILEPICT *pict = (METAFILEPICT *)GlobalLock(medium.hMetaFilePict);
    CHECK(pict->mm == MM_ANISOTROPIC);
    CHECK((pict->xExt == 5080 && pict->yExt == 5080));
    CHECK(GetMetaFileBitsEx(pict->hMF, 0, nullptr) > 100);   /* the icon is in it */
    GlobalUnlock(medium.hMetaFilePict);
    ReleaseStgMedium(&medium);

    DWORD connection = 0;
    IEnumSTATDATA *list = nullptr;
    CHECK(data->DUnadvise(1) == OLE_E_NOCONNECTION);
    CHECK(data->EnumDAdvise(&list) == E_FAIL);
    CHECK(control.object->Unadvise(1) == E_FAIL);
    CHECK(control.object->EnumAdvise(&list) == E_FAIL);
    ScriptedSite sink;
    CHECK(control.object->Advise(&sink, &connection) == S_OK);
    CHECK(control.object->Unadvise(connection) == S_OK);
}

TEST_CASE("quick activation, no property pages, and the system's frame when the site has none")
{
    ScriptedSite site;
    Control control;
    QACONTAINER container = {};
    container.cbSize = sizeof container;
    container.pClientSite = &site;
    container.pAdviseSink = &site;
    QACONTROL info;
    memset(&info, 0xCC, sizeof info);
    info.cbSize = sizeof info;
    CHECK(control.As<IQuickActivate>(IID_IQuickActivate)->QuickActivate(&container, &info) == S_OK);
    CHECK(info.cbSize == sizeof info);
    CHECK(info.dwViewStatus == 3);
    CHECK(info.dwEventCookie == 0);
    IOleClientSite *held = nullptr;
    CHECK(control.object->GetClientSite(&held) == S_OK);
    CHECK(held == static_cast<IOleClientSite *>(&site));
    IAdviseSink *viewSink = nullptr;
    CHECK(control.As<IViewObject>(IID_IViewObject)->GetAdvise(nullptr, nullptr, &viewSink) == S_OK);
    CHECK(viewSink == static_cast<IAdviseSink *>(&site));

    CAUUID pages = { 99, nullptr };
    CHECK(control.As<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages)->GetPages(&pages) == S_OK);
    CHECK(pages.cElems == 0);
    site.propertyFrame = E_NOTIMPL;
    site.ambient = DesignMode;
    CHECK(control.Verb(OLEIVERB_PRIMARY, site) == S_OK);
    CHECK(site.trace == "ShowPropertyFrame");
    CHECK(g_frames == "1 0 1024");
    control.object->Close(OLECLOSE_NOSAVE);
}

namespace {

/* The page lets go of the control while the box is up, as a page that
   navigates away does. */
IOleObject *g_releaseInBox = nullptr;
int g_nameFailures = 0;

int WINAPI ReleasingMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    if (g_releaseInBox != nullptr)
        g_releaseInBox->Release();
    g_releaseInBox = nullptr;
    return MessageBoxA(owner, text, caption, style);
}

UINT WINAPI FailingTempName(LPCSTR dir, LPCSTR prefix, UINT unique, LPSTR name)
{
    if (g_nameFailures-- > 0) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    return GetTempFileNameA(dir, prefix, unique, name);
}

} // namespace

TEST_CASE("the container releases the control inside each message box DoVerb can show")
{
    using namespace testbed;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const struct {
        const wchar_t *url;
        int nameFailures;
        std::vector<DialogStep> answers;   /* Retry: the job runs on and fails on its own */
    } rows[] = {
        { L"file:///C:/windows/win.ini", 0, { Box(IDOK) } },
        { L"http://127.0.0.1:1/x.prn", 1, { Box(IDCANCEL) } },
        { L"http://127.0.0.1:1/x.prn", 1, { Box(IDRETRY), Box(IDOK) } },
    };
    SysCallOverride box("MessageBoxA", AsProc(ReleasingMessageBox));
    SysCallOverride names("GetTempFileNameA", AsProc(FailingTempName));
    SetJobStarter(NULL);
    LONG locksBefore = ModuleLockCount();
    for (const auto &row : rows) {
        CAPTURE(row.answers.size());
        ScriptedSite site;
        ICorvalaAX *control = nullptr;
        REQUIRE(CreateCorvalaAX(nullptr, IID_ICorvalaAX, (void **)&control) == S_OK);
        BSTR url = SysAllocString(row.url);
        control->put_PrintFile(url);
        SysFreeString(url);
        REQUIRE(control->QueryInterface(IID_IOleObject, (void **)&g_releaseInBox) == S_OK);
        control->Release();
        g_nameFailures = row.nameFailures;
        IOleObject *object = g_releaseInBox;
        object->SetClientSite(&site);
        DialogAnswerer answerer(row.answers);
        CHECK(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, NULL, &site.position) == S_OK);
        CHECK(g_releaseInBox == nullptr);
        CHECK(site.trace == "CanWindowlessActivate OnInPlaceActivateEx(1) ShowObject InvalidateRect");
        for (DWORD start = GetTickCount(); DownloadJobsRunning() > 0 && GetTickCount() - start < 10000;) {
            MSG msg;
            while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            Sleep(10);
        }
        CHECK(answerer.ScriptDone());
        CHECK(ModuleLockCount() == locksBefore);
    }
}
