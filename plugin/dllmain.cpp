/* Library attach and detach: the texts and the message caption are in place
   before the browser's first call. */
#include <windows.h>

#include "messages.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        InitResources(module);
        LoadCaption(IDS_APP_TITLE);
        break;
    case DLL_PROCESS_DETACH:
        FreeResources();
        break;
    default:
        break;
    }
    return TRUE;
}
