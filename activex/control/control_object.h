/*
 * The control object behind CreateCorvalaAX: one C++ object that derives
 * from every interface it answers.  The IUnknown methods of all of them go
 * to the controlling unknown: the outer object when the control is
 * aggregated, otherwise the control's own inner unknown.  Apartment
 * threaded, so the reference count is a plain counter.
 */
#ifndef CORVALA_AX_CONTROL_OBJECT_H
#define CORVALA_AX_CONTROL_OBJECT_H

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <objsafe.h>
#include "CorvalaActiveX_h.h"
#include "download_job.h"

/* What the drawing routine needs: the drawing context and the bounds in its
   units. */
struct ControlDrawInfo {
    HDC hdcDraw;
    RECT bounds;
};

class CorvalaAXControl : public ICorvalaAX,
                         public IProvideClassInfo2,
                         public IObjectSafety,
                         public IPersistStreamInit,
                         public IPersistStorage,
                         public IPersistPropertyBag,
                         public IOleObject,
                         public IOleControl,
                         public IOleInPlaceObjectWindowless,
                         public IOleInPlaceActiveObject,
                         public IViewObjectEx,
                         public IDataObject,
                         public ISpecifyPropertyPages,
                         public IQuickActivate {
public:
    /* Placement-constructed by CreateCorvalaAX in memory from CorvMalloc. */
    explicit CorvalaAXControl(IUnknown *outer);
    CorvalaAXControl(const CorvalaAXControl &) = delete;
    CorvalaAXControl &operator=(const CorvalaAXControl &) = delete;

    /* The unknown that CreateInstance hands out when aggregated, and that
       owns the object's life. */
    IUnknown *InnerUnknown() { return &inner_; }

    /* IUnknown, shared by every interface. */
    STDMETHODIMP QueryInterface(REFIID riid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    /* IDispatch (dispatch.cpp) */
    STDMETHODIMP GetTypeInfoCount(UINT *count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo **out) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count, LCID lcid,
                               DISPID *ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS *params,
                        VARIANT *result, EXCEPINFO *exception, UINT *argError) override;

    /* ICorvalaAX */
    STDMETHODIMP get_PrintFile(BSTR *out) override;
    STDMETHODIMP put_PrintFile(BSTR value) override;

    /* IProvideClassInfo2 (dispatch.cpp) */
    STDMETHODIMP GetClassInfo(ITypeInfo **out) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID *out) override;

    /* IObjectSafety (safety.cpp) */
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD *supported,
                                           DWORD *enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override;

    /* IPersist, IPersistStreamInit, IPersistStorage, IPersistPropertyBag
       (persist.cpp) */
    STDMETHODIMP GetClassID(CLSID *out) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IStream *stream) override;
    STDMETHODIMP Save(IStream *stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER *size) override;
    STDMETHODIMP InitNew(IStorage *storage) override;
    STDMETHODIMP Load(IStorage *storage) override;
    STDMETHODIMP Save(IStorage *storage, BOOL sameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage *storage) override;
    STDMETHODIMP HandsOffStorage() override;
    STDMETHODIMP Load(IPropertyBag *bag, IErrorLog *log) override;
    STDMETHODIMP Save(IPropertyBag *bag, BOOL clearDirty, BOOL saveAll) override;

    /* IOleObject (ole_object.cpp) */
    STDMETHODIMP SetClientSite(IOleClientSite *site) override;
    STDMETHODIMP GetClientSite(IOleClientSite **out) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker *moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker **out) override;
    STDMETHODIMP InitFromData(IDataObject *data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject **out) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite *activeSite, LONG index,
                        HWND parent, LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB **out) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID *out) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR *out) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL *size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL *size) override;
    STDMETHODIMP Advise(IAdviseSink *sink, DWORD *connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA **out) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD *status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE *palette) override;

    /* IOleControl (ole_control.cpp) */
    STDMETHODIMP GetControlInfo(CONTROLINFO *info) override;
    STDMETHODIMP OnMnemonic(MSG *msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    /* IOleWindow, IOleInPlaceObject(Windowless), IOleInPlaceActiveObject
       (inplace.cpp) */
    STDMETHODIMP GetWindow(HWND *out) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;
    STDMETHODIMP OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT *result) override;
    STDMETHODIMP GetDropTarget(IDropTarget **out) override;
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow *window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    /* IViewObject, IViewObject2, IViewObjectEx (view.cpp) */
    STDMETHODIMP Draw(DWORD aspect, LONG index, void *aspectInfo, DVTARGETDEVICE *target,
                      HDC hdcTarget, HDC hdcDraw, LPCRECTL bounds, LPCRECTL metafileBounds,
                      BOOL(STDMETHODCALLTYPE *keepGoing)(ULONG_PTR), ULONG_PTR keepGoingArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void *aspectInfo, DVTARGETDEVICE *target,
                             HDC hdcTarget, LOGPALETTE **out) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void *aspectInfo, DWORD *cookie) override;
    STDMETHODIMP Unfreeze(DWORD cookie) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink *sink) override;
    STDMETHODIMP GetAdvise(DWORD *aspects, DWORD *flags, IAdviseSink **sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE *target, LPSIZEL size) override;
    STDMETHODIMP GetRect(DWORD aspect, LPRECTL rect) override;
    STDMETHODIMP GetViewStatus(DWORD *status) override;
    STDMETHODIMP QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT point, LONG closeHint,
                               DWORD *hit) override;
    STDMETHODIMP QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT rect, LONG closeHint,
                              DWORD *hit) override;
    STDMETHODIMP GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE *target,
                                  HDC hdcTarget, DVEXTENTINFO *info, LPSIZEL size) override;

    /* IDataObject (data_object.cpp) */
    STDMETHODIMP GetData(FORMATETC *format, STGMEDIUM *medium) override;
    STDMETHODIMP GetDataHere(FORMATETC *format, STGMEDIUM *medium) override;
    STDMETHODIMP QueryGetData(FORMATETC *format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC *in, FORMATETC *out) override;
    STDMETHODIMP SetData(FORMATETC *format, STGMEDIUM *medium, BOOL release) override;
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC **out) override;
    STDMETHODIMP DAdvise(FORMATETC *format, DWORD flags, IAdviseSink *sink,
                         DWORD *connection) override;
    STDMETHODIMP DUnadvise(DWORD connection) override;
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA **out) override;

    /* ISpecifyPropertyPages (property_pages.cpp) */
    STDMETHODIMP GetPages(CAUUID *pages) override;

    /* IQuickActivate (quick_activate.cpp) */
    STDMETHODIMP QuickActivate(QACONTAINER *container, QACONTROL *control) override;
    STDMETHODIMP SetContentExtent(LPSIZEL size) override;
    STDMETHODIMP GetContentExtent(LPSIZEL size) override;

    /* The in-place activation step: the framework's activation, then for
       OLEIVERB_INPLACEACTIVATE in run mode a download job (inplace.cpp). */
    HRESULT ActivateInPlace(LONG verb, LPCRECT position);

    /* The control window's message handling, shared with windowless
       activation; true when the message was handled (control_window.cpp). */
    bool HandleWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT *result);
    /* The window procedure reports that the control window is gone. */
    void ControlWindowDestroyed(HWND hwnd);

    /* The drawing routine: the icon at the top-left of the bounds, clipped
       to them. */
    HRESULT DrawControl(const ControlDrawInfo &info);

    /* The current extent in HIMETRIC, persisted as _cx and _cy. */
    SIZEL Extent() const { return extent_; }

private:
    /* The nested unknown: answers IUnknown with itself when aggregated,
       and owns the reference count. */
    class Inner : public IUnknown {
    public:
        explicit Inner(CorvalaAXControl *owner) : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void **out) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;
    private:
        CorvalaAXControl *owner_;
    };

    ~CorvalaAXControl();
    void Destroy();

    /* PrintFile through the object's own dispatch interface, as the
       persistence paths read and write it. */
    HRESULT GetPrintFileVariant(VARIANT *value);
    HRESULT PutPrintFileVariant(VARIANT *value);
    HRESULT SaveToStream(IStream *stream);

    /* Ambient properties through the client site's dispatch interface. */
    HRESULT GetAmbientProperty(DISPID id, VARIANT *value);
    bool InDesignMode();
    LCID AmbientLocale();

    /* DoVerb's work, while DoVerb holds the control (ole_object.cpp). */
    HRESULT RunVerb(LONG verb, LPCRECT position);

    /* The framework's in-place activation and its parts (inplace.cpp). */
    HRESULT InPlaceActivate(LONG verb);
    HRESULT NegotiateWindowKind();
    HRESULT NotifyInPlaceActivate();
    HRESULT PlaceInSiteWindow(IOleInPlaceFrame **frame, IOleInPlaceUIWindow **document);
    HRESULT UIActivate(IOleInPlaceFrame *frame, IOleInPlaceUIWindow *document);
    IOleInPlaceSiteWindowless *WindowlessSite();
    IOleInPlaceSiteEx *ExtendedSite();
    void MarkViewChanged();
    HRESULT ShowProperties();
    void ReleaseOleState();

    /* The control window (control_window.cpp). */
    HRESULT CreateControlWindow(HWND parent, const RECT &position);
    void DestroyControlWindow();
    void PaintControl(HDC hdc, const RECT &bounds);

    Inner inner_;
    IUnknown *controlling_;   /* outer unknown, or &inner_ */
    bool aggregated_;
    ULONG refs_;

    /* Framework state kept so far: the extents. */
    SIZEL naturalExtent_;
    SIZEL extent_;

    /* OLE state: sites, advise holders, activation. */
    IOleClientSite *clientSite_ = NULL;
    IDispatch *ambientDispatch_ = NULL;
    IOleInPlaceSite *inPlaceSite_ = NULL;   /* Ex or Windowless as negotiated */
    IOleAdviseHolder *oleAdviseHolder_ = NULL;
    IDataAdviseHolder *dataAdviseHolder_ = NULL;
    IAdviseSink *viewSink_ = NULL;
    RECT position_ = {0, 0, 0, 0};
    HWND hwnd_ = NULL;
    LONG freezeCount_ = 0;
    bool windowKindNegotiated_ = false;
    bool windowless_ = false;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    bool siteExtended_ = false;
    bool wasWindowless_ = false;

    /* The control's own fields. */
    BSTR printFile_;
    char tempFileName_[TEMP_NAME_CAPACITY] = {};
    HICON hIcon;
};

/* Runs the drawing routine of a control made by CreateCorvalaAX, as the
   container's paint and render paths do. */
HRESULT DrawCorvalaAX(ICorvalaAX *control, const ControlDrawInfo &info);

#endif
