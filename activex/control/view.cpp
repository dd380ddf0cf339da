/* The control's view: drawing for a container, extents, hit tests and the
   view status.  Drawing always happens in pixels: the bounds are taken to
   device units and the context set to MM_TEXT around the drawing, except
   into a metafile, which records the caller's units as they are. */
#include "control_object.h"

#include <algorithm>

static const DWORD kViewStatus = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;

static bool DrawnAspect(DWORD aspect)
{
    return aspect == DVASPECT_CONTENT || aspect == DVASPECT_OPAQUE ||
           aspect == DVASPECT_TRANSPARENT;
}

static bool IsMetafileDC(HDC hdc)
{
    DWORD type = GetObjectType(hdc);
    return type == OBJ_METADC || type == OBJ_ENHMETADC;
}

/* Logical bounds of hdc in its device units, left/top first whatever the
   direction of the mapping mode's axes. */
static RECT ToDeviceUnits(HDC hdc, RECT bounds)
{
    LPtoDP(hdc, reinterpret_cast<POINT *>(&bounds), 2);
    RECT device;
    SetRect(&device, std::min(bounds.left, bounds.right), std::min(bounds.top, bounds.bottom),
            std::max(bounds.left, bounds.right), std::max(bounds.top, bounds.bottom));
    return device;
}

void CorvalaAXControl::PaintControl(HDC hdc, const RECT &deviceBounds)
{
    int saved = SaveDC(hdc);
    SetMapMode(hdc, MM_TEXT);
    SetWindowOrgEx(hdc, 0, 0, NULL);
    SetViewportOrgEx(hdc, 0, 0, NULL);
    ControlDrawInfo info = {hdc, deviceBounds};
    DrawControl(info);
    RestoreDC(hdc, saved);
}

/* Converted with the drawing context's own mapping, so the picture lands
   where the caller's logical bounds are, whatever mode and origins it set. */
STDMETHODIMP CorvalaAXControl::Draw(DWORD aspect, LONG, void *, DVTARGETDEVICE *, HDC,
                                    HDC hdcDraw, LPCRECTL bounds, LPCRECTL,
                                    BOOL(STDMETHODCALLTYPE *)(ULONG_PTR), ULONG_PTR)
{
    if (!DrawnAspect(aspect))
        return DV_E_DVASPECT;
    if (hdcDraw == NULL || (bounds == NULL && !windowless_))
        return E_INVALIDARG;
    if (bounds == NULL) {
        PaintControl(hdcDraw, position_);   /* already in the site's pixels */
        return S_OK;
    }
    RECT logical = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    if (IsMetafileDC(hdcDraw)) {
        ControlDrawInfo info = {hdcDraw, logical};
        return DrawControl(info);
    }
    PaintControl(hdcDraw, ToDeviceUnits(hdcDraw, logical));
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::GetColorSet(DWORD, LONG, void *, DVTARGETDEVICE *, HDC,
                                           LOGPALETTE **)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::Freeze(DWORD, LONG, void *, DWORD *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::Unfreeze(DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::SetAdvise(DWORD, DWORD, IAdviseSink *sink)
{
    if (sink != NULL)
        sink->AddRef();
    if (viewSink_ != NULL)
        viewSink_->Release();
    viewSink_ = sink;
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::GetAdvise(DWORD *, DWORD *, IAdviseSink **sink)
{
    if (sink != NULL) {
        *sink = viewSink_;
        if (viewSink_ != NULL)
            viewSink_->AddRef();
    }
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::GetExtent(DWORD, LONG, DVTARGETDEVICE *, LPSIZEL size)
{
    if (size == NULL)
        return E_POINTER;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::GetRect(DWORD, LPRECTL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::GetViewStatus(DWORD *status)
{
    if (status == NULL)
        return E_POINTER;
    *status = kViewStatus;
    return S_OK;
}

/* The bounds exclude their right and bottom edges. */
STDMETHODIMP CorvalaAXControl::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT point, LONG,
                                             DWORD *hit)
{
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    if (bounds == NULL || hit == NULL)
        return E_POINTER;
    *hit = PtInRect(bounds, point) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT rect, LONG,
                                            DWORD *hit)
{
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    if (bounds == NULL || rect == NULL || hit == NULL)
        return E_POINTER;
    RECT common;
    *hit = IntersectRect(&common, bounds, rect) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::GetNaturalExtent(DWORD aspect, LONG, DVTARGETDEVICE *, HDC,
                                                DVEXTENTINFO *info, LPSIZEL size)
{
    if (info == NULL || size == NULL)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT || info->dwExtentMode != DVEXTENT_CONTENT)
        return E_FAIL;
    *size = naturalExtent_;
    return S_OK;
}
