/* Entry point of Corvala Viewer.exe. */
#include "viewer.h"

#include <shellapi.h>
#include <stdlib.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    int wideArgc = 0;
    wchar_t **wideArgv = CommandLineToArgvW(GetCommandLineW(), &wideArgc);
    int code = RunViewer(instance, __argc, __argv, wideArgv != NULL ? wideArgc : 0, wideArgv);
    LocalFree(wideArgv);
    if (code != VIEWER_EXIT_OK)
        exit(code); /* through the runtime: exit handlers run, streams are flushed */
    return code;
}
