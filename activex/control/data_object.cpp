/* IDataObject: the control's picture as a metafile picture, the only
   format it renders, and the data advise sinks. */
#include "control_object.h"

/* HIMETRIC (0.01 mm) to pixels of a device with dpi pixels per inch. */
static LONG HimetricToPixels(LONG himetric, int dpi)
{
    return MulDiv(himetric, dpi, 2540);
}

static SIZE ScreenPixels(SIZEL himetric)
{
    HDC screen = GetDC(NULL);
    SIZE pixels = {HimetricToPixels(himetric.cx, GetDeviceCaps(screen, LOGPIXELSX)),
                   HimetricToPixels(himetric.cy, GetDeviceCaps(screen, LOGPIXELSY))};
    ReleaseDC(NULL, screen);
    return pixels;
}

/* Records the picture; the window extent is the extent in screen pixels. */
static HMETAFILE RecordPicture(CorvalaAXControl *control, SIZEL extent)
{
    HDC recorder = CreateMetaFileA(NULL);
    if (recorder == NULL)
        return NULL;
    SIZE pixels = ScreenPixels(extent);
    SetMapMode(recorder, MM_ANISOTROPIC);
    SetWindowOrgEx(recorder, 0, 0, NULL);
    SetWindowExtEx(recorder, pixels.cx, pixels.cy, NULL);
    ControlDrawInfo info = {recorder, {0, 0, pixels.cx, pixels.cy}};
    control->DrawControl(info);
    return CloseMetaFile(recorder);
}

STDMETHODIMP CorvalaAXControl::GetData(FORMATETC *format, STGMEDIUM *medium)
{
    if (format == NULL || medium == NULL)
        return E_POINTER;
    if ((format->tymed & TYMED_MFPICT) == 0)
        return DV_E_FORMATETC;
    HMETAFILE metafile = RecordPicture(this, extent_);
    if (metafile == NULL)
        return E_UNEXPECTED;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, sizeof(METAFILEPICT));
    METAFILEPICT *picture = memory != NULL ? static_cast<METAFILEPICT *>(GlobalLock(memory)) : NULL;
    if (picture == NULL) {
        if (memory != NULL)
            GlobalFree(memory);
        DeleteMetaFile(metafile);
        return STG_E_MEDIUMFULL;
    }
    picture->mm = MM_ANISOTROPIC;
    picture->xExt = extent_.cx;
    picture->yExt = extent_.cy;
    picture->hMF = metafile;
    GlobalUnlock(memory);
    medium->tymed = TYMED_MFPICT;
    medium->hMetaFilePict = memory;
    medium->pUnkForRelease = NULL;
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::GetDataHere(FORMATETC *, STGMEDIUM *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::QueryGetData(FORMATETC *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::GetCanonicalFormatEtc(FORMATETC *, FORMATETC *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::SetData(FORMATETC *, STGMEDIUM *, BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::EnumFormatEtc(DWORD, IEnumFORMATETC **)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::DAdvise(FORMATETC *format, DWORD flags, IAdviseSink *sink,
                                       DWORD *connection)
{
    if (dataAdviseHolder_ == NULL) {
        HRESULT hr = CreateDataAdviseHolder(&dataAdviseHolder_);
        if (FAILED(hr))
            return hr;
    }
    return dataAdviseHolder_->Advise(this, format, flags, sink, connection);
}

STDMETHODIMP CorvalaAXControl::DUnadvise(DWORD connection)
{
    if (dataAdviseHolder_ == NULL)
        return OLE_E_NOCONNECTION;
    return dataAdviseHolder_->Unadvise(connection);
}

STDMETHODIMP CorvalaAXControl::EnumDAdvise(IEnumSTATDATA **out)
{
    if (dataAdviseHolder_ == NULL)
        return E_FAIL;
    return dataAdviseHolder_->EnumAdvise(out);
}
