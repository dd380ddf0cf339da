/* The control's property pages, of which there are none, and the
   properties verb that shows them. */
#include "control_object.h"
#include "syscalls.h"

#include <olectl.h>

STDMETHODIMP CorvalaAXControl::GetPages(CAUUID *pages)
{
    if (pages == NULL)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = NULL;
    return S_OK;
}

/* The site's own frame when it has one; otherwise the system's, captioned
   with the control's short name, over the site's window. */
HRESULT CorvalaAXControl::ShowProperties()
{
    IOleControlSite *controlSite = NULL;
    if (clientSite_ != NULL &&
        SUCCEEDED(clientSite_->QueryInterface(IID_IOleControlSite,
                                              reinterpret_cast<void **>(&controlSite)))) {
        HRESULT hr = controlSite->ShowPropertyFrame();
        controlSite->Release();
        if (SUCCEEDED(hr))
            return hr;
    }
    CAUUID pages;
    GetPages(&pages);
    LPOLESTR caption = NULL;
    OleRegGetUserType(CLSID_CorvalaAX, USERCLASSTYPE_SHORT, &caption);
    HWND owner = NULL;
    if (inPlaceSite_ != NULL && FAILED(inPlaceSite_->GetWindow(&owner)))
        owner = NULL;
    IUnknown *object = static_cast<ICorvalaAX *>(this);
    HRESULT hr = osCall(OleCreatePropertyFrame)(owner, 0, 0, caption, 1, &object, pages.cElems,
                                                pages.pElems, AmbientLocale(), 0, NULL);
    CoTaskMemFree(caption);
    CoTaskMemFree(pages.pElems);
    return hr;
}
