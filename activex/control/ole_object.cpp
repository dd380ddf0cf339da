/* IOleObject: the client site, the verbs, closing, extents, advise sinks and
   the answers that come from the control's registry entries. */
#include "control_object.h"

#include <olectl.h>

STDMETHODIMP CorvalaAXControl::SetClientSite(IOleClientSite *site)
{
    if (site != NULL)
        site->AddRef();
    if (ambientDispatch_ != NULL) {
        ambientDispatch_->Release();
        ambientDispatch_ = NULL;
    }
    if (clientSite_ != NULL)
        clientSite_->Release();
    clientSite_ = site;
    if (site != NULL)
        site->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&ambientDispatch_));
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::GetClientSite(IOleClientSite **out)
{
    if (out == NULL)
        return E_POINTER;
    *out = clientSite_;
    if (clientSite_ != NULL)
        clientSite_->AddRef();
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::SetHostNames(LPCOLESTR, LPCOLESTR)
{
    return S_OK;
}

/* The control never has unsaved changes, so no save option asks the site
   to save. */
STDMETHODIMP CorvalaAXControl::Close(DWORD)
{
    if (hwnd_ != NULL && clientSite_ != NULL)
        clientSite_->OnShowWindow(FALSE);
    if (inPlaceActive_) {
        HRESULT hr = InPlaceDeactivate();
        if (FAILED(hr))
            return hr;
    }
    DestroyControlWindow();
    if (inPlaceSite_ != NULL) {
        inPlaceSite_->Release();
        inPlaceSite_ = NULL;
    }
    windowKindNegotiated_ = false;
    windowless_ = false;
    siteExtended_ = false;
    if (viewSink_ != NULL) {
        viewSink_->Release();
        viewSink_ = NULL;
    }
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::SetMoniker(DWORD, IMoniker *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::GetMoniker(DWORD, DWORD, IMoniker **)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::InitFromData(IDataObject *, BOOL, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::GetClipboardData(DWORD, IDataObject **)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::SetColorScheme(LOGPALETTE *)
{
    return E_NOTIMPL;
}

/* A verb can show a message box or the property frame, which pump
   messages: the container may release the control meanwhile (the page
   navigates away).  The control holds itself for the whole verb and lets
   go last. */
STDMETHODIMP CorvalaAXControl::DoVerb(LONG verb, LPMSG, IOleClientSite *, LONG, HWND,
                                      LPCRECT position)
{
    AddRef();
    HRESULT hr = RunVerb(verb, position);
    Release();
    return hr;
}

HRESULT CorvalaAXControl::RunVerb(LONG verb, LPCRECT position)
{
    HRESULT hr;
    switch (verb) {
    case OLEIVERB_PRIMARY:
        if (InDesignMode())
            return ShowProperties();
        /* run mode, or a UserMode nobody can tell us */
        [[fallthrough]];
    case OLEIVERB_INPLACEACTIVATE:
        hr = ActivateInPlace(OLEIVERB_INPLACEACTIVATE, position);
        if (FAILED(hr))
            return hr;
        MarkViewChanged();
        return S_OK;
    case OLEIVERB_SHOW:
        hr = ActivateInPlace(OLEIVERB_SHOW, position);
        return FAILED(hr) ? hr : S_OK;
    case OLEIVERB_UIACTIVATE:
        if (uiActive_)
            return S_OK;
        hr = ActivateInPlace(OLEIVERB_UIACTIVATE, position);
        return FAILED(hr) ? hr : S_OK;
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (hwnd_ != NULL)
            ShowWindow(hwnd_, SW_HIDE);
        return S_OK;
    case OLEIVERB_OPEN:
    case OLEIVERB_DISCARDUNDOSTATE:
        return S_OK;
    case OLEIVERB_PROPERTIES:
        return ShowProperties();
    default:
        return E_NOTIMPL;
    }
}

/* Tells whoever shows the control that its picture changed. */
void CorvalaAXControl::MarkViewChanged()
{
    if (inPlaceActive_) {
        if (hwnd_ != NULL)
            InvalidateRect(hwnd_, NULL, TRUE);
        else if (windowless_)
            WindowlessSite()->InvalidateRect(NULL, TRUE);
    } else if (viewSink_ != NULL) {
        viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
    }
}

/* --- registry answers ---------------------------------------------- */

STDMETHODIMP CorvalaAXControl::EnumVerbs(IEnumOLEVERB **out)
{
    if (out == NULL)
        return E_POINTER;
    return OleRegEnumVerbs(CLSID_CorvalaAX, out);
}

STDMETHODIMP CorvalaAXControl::Update()
{
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::IsUpToDate()
{
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::GetUserClassID(CLSID *out)
{
    if (out == NULL)
        return E_POINTER;
    *out = CLSID_CorvalaAX;
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::GetUserType(DWORD form, LPOLESTR *out)
{
    if (out == NULL)
        return E_POINTER;
    return OleRegGetUserType(CLSID_CorvalaAX, form, out);
}

STDMETHODIMP CorvalaAXControl::GetMiscStatus(DWORD aspect, DWORD *status)
{
    if (status == NULL)
        return E_POINTER;
    return OleRegGetMiscStatus(CLSID_CorvalaAX, aspect, status);
}

/* --- extent ---------------------------------------------------------- */

/* The natural extent stays; nobody is told of the new size. */
STDMETHODIMP CorvalaAXControl::SetExtent(DWORD aspect, SIZEL *size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (size == NULL)
        return E_POINTER;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::GetExtent(DWORD aspect, SIZEL *size)
{
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    if (size == NULL)
        return E_POINTER;
    *size = extent_;
    return S_OK;
}

/* --- advise sinks ---------------------------------------------------- */

STDMETHODIMP CorvalaAXControl::Advise(IAdviseSink *sink, DWORD *connection)
{
    if (oleAdviseHolder_ == NULL) {
        HRESULT hr = CreateOleAdviseHolder(&oleAdviseHolder_);
        if (FAILED(hr))
            return hr;
    }
    return oleAdviseHolder_->Advise(sink, connection);
}

STDMETHODIMP CorvalaAXControl::Unadvise(DWORD connection)
{
    if (oleAdviseHolder_ == NULL)
        return E_FAIL;
    return oleAdviseHolder_->Unadvise(connection);
}

STDMETHODIMP CorvalaAXControl::EnumAdvise(IEnumSTATDATA **out)
{
    if (oleAdviseHolder_ == NULL)
        return E_FAIL;
    return oleAdviseHolder_->EnumAdvise(out);
}

/* What the object still holds when it goes: sites, sinks, holders, its
   window. */
void CorvalaAXControl::ReleaseOleState()
{
    DestroyControlWindow();
    IUnknown *held[] = {inPlaceSite_, ambientDispatch_, clientSite_, viewSink_,
                        oleAdviseHolder_, dataAdviseHolder_};
    for (IUnknown *unknown : held) {
        if (unknown != NULL)
            unknown->Release();
    }
    inPlaceSite_ = NULL;
    ambientDispatch_ = NULL;
    clientSite_ = NULL;
    viewSink_ = NULL;
    oleAdviseHolder_ = NULL;
    dataAdviseHolder_ = NULL;
}
