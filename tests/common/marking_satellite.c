/* A satellite library whose entry point leaves a mark in the process
   environment, so that tests see whether any of its code ran. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance; (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        SetEnvironmentVariableA("CORV_SATELLITE_CODE_RAN", "1");
    return TRUE;
}
