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
                         public IPersistPropertyBag {
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

    Inner inner_;
    IUnknown *controlling_;   /* outer unknown, or &inner_ */
    bool aggregated_;
    ULONG refs_;

    /* Framework state kept so far: the extents. */
    SIZEL naturalExtent_;
    SIZEL extent_;

    /* The control's own fields. */
    BSTR printFile_;
    HICON hIcon;
};

/* Runs the drawing routine of a control made by CreateCorvalaAX, as the
   container's paint and render paths do. */
HRESULT DrawCorvalaAX(ICorvalaAX *control, const ControlDrawInfo &info);

#endif
