/* Entry point of Corvala Viewer.exe. */
#include "viewer.h"

#include <stdlib.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    int code = RunViewer(instance, __argc, __argv);
    if (code != VIEWER_EXIT_OK)
        exit(code); /* through the runtime: exit handlers run, streams are flushed */
    return code;
}
