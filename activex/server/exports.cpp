/*
 * The library's entry function, its class table and the four exports of an
 * in-process COM server.
 */
#include <windows.h>
#include <objbase.h>

#include "class_factory.h"
#include "download_job.h"
#include "control.h"
#include "messages.h"
#include "module.h"
#include "registration.h"

namespace {

ClassRow g_classes[] = {
    { &CLSID_CorvalaAX, UpdateControlRegistry, CreateClassFactory, CreateCorvalaAX, NULL, NULL, NULL },
};

} // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ModuleStart(g_classes, sizeof(g_classes) / sizeof(g_classes[0]), instance);
        DisableThreadLibraryCalls(instance);
        InitResources(instance);
        LoadCaption(IDS_APP_TITLE);
        SetControlIconModule(instance);
        break;
    case DLL_PROCESS_DETACH:
        /* reserved is not NULL when the process ends. */
        DiscardUnfinishedJobFiles(reserved != NULL);
        ModuleEnd();
        FreeResources();
        break;
    default:
        break;
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow(void)
{
    return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void **out)
{
    return ModuleGetClassObject(clsid, riid, out);
}

extern "C" HRESULT WINAPI DllRegisterServer(void)
{
    return RegisterServer();
}

extern "C" HRESULT WINAPI DllUnregisterServer(void)
{
    return UnregisterServer();
}
