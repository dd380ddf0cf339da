#include "viewer_launch.h"

#include <string.h>

#include "download_job.h"
#include "handles.h"
#include "messages.h"
#include "registry.h"
#include "syscalls.h"

#define MESSAGE_STYLE (MB_ICONEXCLAMATION | MB_OK)
#define VIEWER_PATH_CAPACITY 524
#define VIEWER_PATH_READ 521

static const char kViewerFallback[] = "Corvala Viewer.exe";

void GetViewerPath(char *buffer, int capacity)
{
    ScopedRegKey key(OpenRegistryPath(VIEWER_APP_PATHS_KEY));
    if (key.IsValid()) {
        ReadRegistryText(key.Get(), "", buffer, (DWORD)capacity, kViewerFallback);
        return;
    }
    lstrcpynA(buffer, kViewerFallback, capacity);
}

/* `"<viewer>" "<file>" -d`, allocated to fit; NULL when out of memory. */
static char *ComposeCommandLine(const char *viewer, const char *file)
{
    const char *parts[] = { "\"", viewer, "\" \"", file, "\" -d" };
    size_t length = 1;
    for (const char *part : parts)
        length += strlen(part);
    char *line = (char *)osCall(CorvMalloc)(length);
    if (line == NULL)
        return NULL;
    line[0] = '\0';
    for (const char *part : parts)
        strcat(line, part);
    return line;
}

BOOL LaunchViewer(const char *tempFileName)
{
    char viewer[VIEWER_PATH_CAPACITY];
    GetViewerPath(viewer, VIEWER_PATH_READ);
    char *commandLine = ComposeCommandLine(viewer, tempFileName);
    if (commandLine == NULL) {
        ShowSystemErrorFor(NULL, 0, ERROR_NOT_ENOUGH_MEMORY, viewer, MESSAGE_STYLE);
        return FALSE;
    }
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    BOOL started = CreateProcessA(viewer, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process);
    DWORD error = GetLastError();
    free(commandLine);
    if (!started) {
        ShowSystemErrorFor(NULL, 0, error, viewer, MESSAGE_STYLE);
        return FALSE;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return TRUE;
}
