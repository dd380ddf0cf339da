/* IObjectSafety: the control is safe for untrusted callers and untrusted
   data on every interface, and that cannot be switched off. */
#include "control_object.h"

static const DWORD kSafeOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

STDMETHODIMP CorvalaAXControl::GetInterfaceSafetyOptions(REFIID riid, DWORD *supported,
                                                         DWORD *enabled)
{
    if (supported == NULL || enabled == NULL)
        return E_POINTER;
    *supported = kSafeOptions;
    *enabled = kSafeOptions;
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled)
{
    return S_OK;
}
