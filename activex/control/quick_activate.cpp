/* IQuickActivate: a container hands over its site and view sink, and
   learns the control's status bits, in one call. */
#include "control_object.h"

#include <stddef.h>
#include <string.h>

STDMETHODIMP CorvalaAXControl::QuickActivate(QACONTAINER *container, QACONTROL *control)
{
    if (container == NULL || control == NULL)
        return E_POINTER;
    /* Clear no more than both sides know of. */
    ULONG size = control->cbSize;
    memset(control, 0, size < sizeof *control ? size : sizeof *control);
    control->cbSize = size;
    SetClientSite(container->pClientSite);
    if (container->pAdviseSink != NULL)
        SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    DWORD misc = 0;
    GetMiscStatus(DVASPECT_CONTENT, &misc);
    DWORD view = 0;
    GetViewStatus(&view);
    if (size >= offsetof(QACONTROL, dwViewStatus) + sizeof(DWORD)) {
        control->dwMiscStatus = misc;
        control->dwViewStatus = view;
    }
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::SetContentExtent(LPSIZEL size)
{
    return SetExtent(DVASPECT_CONTENT, size);
}

STDMETHODIMP CorvalaAXControl::GetContentExtent(LPSIZEL size)
{
    if (size == NULL)
        return E_POINTER;
    *size = extent_;
    return S_OK;
}
