/* In-place activation: the negotiation of a windowless or windowed
   activation with the site, UI activation, deactivation, and the in-place
   object interfaces a container drives once the control is active. */
#include "control_object.h"
#include "control_hooks.h"

static JobStarter g_startJob = StartJob;

JobStarter SetJobStarter(JobStarter starter)
{
    JobStarter previous = g_startJob;
    g_startJob = starter != NULL ? starter : StartJob;
    return previous;
}

/* The activation step of every activating verb.  Only the in-place verb
   in run mode starts a job; what the job does never changes the result. */
HRESULT CorvalaAXControl::ActivateInPlace(LONG verb, LPCRECT)
{
    HRESULT hr = InPlaceActivate(verb);
    if (FAILED(hr) || verb != OLEIVERB_INPLACEACTIVATE)
        return hr;
    if (InDesignMode())
        return hr;
    g_startJob(printFile_, clientSite_, tempFileName_);
    return hr;
}

IOleInPlaceSiteWindowless *CorvalaAXControl::WindowlessSite()
{
    return static_cast<IOleInPlaceSiteWindowless *>(inPlaceSite_);
}

IOleInPlaceSiteEx *CorvalaAXControl::ExtendedSite()
{
    return static_cast<IOleInPlaceSiteEx *>(inPlaceSite_);
}

/* Verbs that also make the control UI active. */
static bool ActivatesUI(LONG verb, bool siteHasAmbients)
{
    if (verb == OLEIVERB_PRIMARY || verb == OLEIVERB_UIACTIVATE)
        return true;
    return !siteHasAmbients && (verb == OLEIVERB_SHOW || verb == OLEIVERB_INPLACEACTIVATE);
}

HRESULT CorvalaAXControl::InPlaceActivate(LONG verb)
{
    if (clientSite_ == NULL)
        return S_OK;
    HRESULT hr = NegotiateWindowKind();
    if (FAILED(hr))
        return hr;
    if (!inPlaceActive_) {
        hr = NotifyInPlaceActivate();
        if (FAILED(hr))
            return hr;
        inPlaceActive_ = true;
    }
    IOleInPlaceFrame *frame = NULL;
    IOleInPlaceUIWindow *document = NULL;
    hr = PlaceInSiteWindow(&frame, &document);
    if (SUCCEEDED(hr) && ActivatesUI(verb, ambientDispatch_ != NULL) && !uiActive_)
        hr = UIActivate(frame, document);
    if (frame != NULL)
        frame->Release();
    if (document != NULL)
        document->Release();
    if (FAILED(hr))
        return hr;
    clientSite_->ShowObject();
    return S_OK;
}

/* Windowless where the site allows it, otherwise in a window of our own.
   Decided once per site, until Close. */
HRESULT CorvalaAXControl::NegotiateWindowKind()
{
    if (windowKindNegotiated_)
        return S_OK;
    void *site = NULL;
    if (SUCCEEDED(clientSite_->QueryInterface(IID_IOleInPlaceSiteWindowless, &site))) {
        inPlaceSite_ = static_cast<IOleInPlaceSiteWindowless *>(site);
        siteExtended_ = true;
        if (WindowlessSite()->CanWindowlessActivate() == S_OK) {
            windowless_ = true;
            wasWindowless_ = true;
        }
    } else if (SUCCEEDED(clientSite_->QueryInterface(IID_IOleInPlaceSiteEx, &site))) {
        inPlaceSite_ = static_cast<IOleInPlaceSiteEx *>(site);
        siteExtended_ = true;
    } else if (SUCCEEDED(clientSite_->QueryInterface(IID_IOleInPlaceSite, &site))) {
        inPlaceSite_ = static_cast<IOleInPlaceSite *>(site);
    } else {
        return E_FAIL;
    }
    windowKindNegotiated_ = true;
    return S_OK;
}

HRESULT CorvalaAXControl::NotifyInPlaceActivate()
{
    BOOL noRedraw = FALSE;
    if (windowless_)
        return WindowlessSite()->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS);
    if (siteExtended_)
        return ExtendedSite()->OnInPlaceActivateEx(&noRedraw, 0);
    if (inPlaceSite_->CanInPlaceActivate() != S_OK)
        return E_FAIL;
    return inPlaceSite_->OnInPlaceActivate();
}

/* Takes the site's window context, shows or creates the control window
   there and places the control.  A site without a window leaves nothing
   to place. */
HRESULT CorvalaAXControl::PlaceInSiteWindow(IOleInPlaceFrame **frame,
                                            IOleInPlaceUIWindow **document)
{
    HWND parent = NULL;
    if (FAILED(inPlaceSite_->GetWindow(&parent)))
        return S_OK;
    RECT position = {0, 0, 0, 0}, clip = {0, 0, 0, 0};
    OLEINPLACEFRAMEINFO frameInfo = {sizeof frameInfo, FALSE, NULL, NULL, 0};
    if (FAILED(inPlaceSite_->GetWindowContext(frame, document, &position, &clip, &frameInfo)))
        return S_OK;
    if (!windowless_) {
        if (hwnd_ != NULL) {
            ShowWindow(hwnd_, SW_SHOW);
            HWND focus = GetFocus();
            if (focus != hwnd_ && !IsChild(hwnd_, focus))
                SetFocus(hwnd_);
        } else {
            HRESULT hr = CreateControlWindow(parent, position);
            if (FAILED(hr))
                return hr;
        }
    }
    SetObjectRects(&position, &clip);
    return S_OK;
}

/* The UI-active mark is taken back when the site refuses, so that a later
   UI-activating verb asks again and no deactivation is sent for an
   activation the site never accepted. */
HRESULT CorvalaAXControl::UIActivate(IOleInPlaceFrame *frame, IOleInPlaceUIWindow *document)
{
    uiActive_ = true;
    HRESULT hr = inPlaceSite_->OnUIActivate();
    if (FAILED(hr)) {
        uiActive_ = false;
        return hr;
    }
    if (windowless_)
        WindowlessSite()->SetFocus(TRUE);
    else if (hwnd_ != NULL)
        SetFocus(hwnd_);
    IOleInPlaceActiveObject *active = this;
    if (frame != NULL) {
        frame->SetActiveObject(active, NULL);
        frame->SetBorderSpace(NULL);
    }
    if (document != NULL) {
        document->SetActiveObject(active, NULL);
        document->SetBorderSpace(NULL);
    }
    return S_OK;
}

/* --- IOleWindow, IOleInPlaceObject ---------------------------------- */

/* A control that was once windowless never has a window to give. */
STDMETHODIMP CorvalaAXControl::GetWindow(HWND *out)
{
    if (wasWindowless_)
        return E_FAIL;
    if (out == NULL)
        return E_POINTER;
    *out = hwnd_;
    return hwnd_ != NULL ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP CorvalaAXControl::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::InPlaceDeactivate()
{
    if (!inPlaceActive_)
        return S_OK;
    UIDeactivate();
    inPlaceActive_ = false;
    DestroyControlWindow();
    if (inPlaceSite_ != NULL)
        inPlaceSite_->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::UIDeactivate()
{
    if (!uiActive_)
        return S_OK;
    uiActive_ = false;
    if (inPlaceSite_ == NULL)
        return S_OK;
    IOleInPlaceFrame *frame = NULL;
    IOleInPlaceUIWindow *document = NULL;
    RECT position, clip;
    OLEINPLACEFRAMEINFO frameInfo = {sizeof frameInfo, FALSE, NULL, NULL, 0};
    if (SUCCEEDED(inPlaceSite_->GetWindowContext(&frame, &document, &position, &clip,
                                                 &frameInfo))) {
        if (frame != NULL) {
            frame->SetActiveObject(NULL, NULL);
            frame->Release();
        }
        if (document != NULL) {
            document->SetActiveObject(NULL, NULL);
            document->Release();
        }
    }
    inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

/* The window shows only the part of the position inside the clip
   rectangle. */
STDMETHODIMP CorvalaAXControl::SetObjectRects(LPCRECT position, LPCRECT clip)
{
    if (position == NULL || clip == NULL)
        return E_POINTER;
    position_ = *position;
    if (hwnd_ == NULL)
        return S_OK;
    RECT visible;
    IntersectRect(&visible, position, clip);
    HRGN region = NULL;
    if (!EqualRect(&visible, position)) {
        OffsetRect(&visible, -position->left, -position->top);
        region = CreateRectRgnIndirect(&visible);
    }
    SetWindowRgn(hwnd_, region, TRUE);   /* the window owns the region now */
    SetWindowPos(hwnd_, NULL, position->left, position->top, position->right - position->left,
                 position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::ReactivateAndUndo()
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam,
                                               LRESULT *result)
{
    LRESULT ignored = 0;
    return HandleWindowMessage(msg, wParam, lParam, result != NULL ? result : &ignored)
               ? S_OK
               : S_FALSE;
}

STDMETHODIMP CorvalaAXControl::GetDropTarget(IDropTarget **)
{
    return E_NOTIMPL;
}

/* --- IOleInPlaceActiveObject ---------------------------------------- */

static DWORD KeyModifiers()
{
    DWORD modifiers = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        modifiers |= 1;
    if (GetKeyState(VK_CONTROL) < 0)
        modifiers |= 2;
    if (GetKeyState(VK_MENU) < 0)
        modifiers |= 4;
    return modifiers;
}

/* The control has no keys of its own: the site may use the message. */
STDMETHODIMP CorvalaAXControl::TranslateAccelerator(LPMSG msg)
{
    IOleControlSite *site = NULL;
    if (clientSite_ == NULL ||
        FAILED(clientSite_->QueryInterface(IID_IOleControlSite, reinterpret_cast<void **>(&site))))
        return S_FALSE;
    HRESULT hr = site->TranslateAccelerator(msg, KeyModifiers());
    site->Release();
    return hr == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP CorvalaAXControl::OnFrameWindowActivate(BOOL)
{
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::OnDocWindowActivate(BOOL activate)
{
    if (!activate)
        UIDeactivate();
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow *, BOOL)
{
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::EnableModeless(BOOL)
{
    return S_OK;
}
