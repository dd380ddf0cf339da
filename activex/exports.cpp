/* (being written) */
#include <windows.h>
#include <objbase.h>
extern "C" HRESULT WINAPI DllCanUnloadNow(void) { return S_OK; }
extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, void **out) { if (out) *out = NULL; return CLASS_E_CLASSNOTAVAILABLE; }
extern "C" HRESULT WINAPI DllRegisterServer(void) { return E_NOTIMPL; }
extern "C" HRESULT WINAPI DllUnregisterServer(void) { return S_OK; }
