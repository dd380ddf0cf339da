#include "viewer_launch.h"

#include <stdlib.h>
#include <string.h>

#include "handles.h"
#include "registry.h"
#include "syscalls.h"

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

/* The process is let go at once: its outcome is the viewer's to report. */
static BOOL StartViewerProcess(const char *viewer, const char *fileName, DWORD *error)
{
    char *commandLine = ComposeCommandLine(viewer, fileName);
    if (commandLine == NULL) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return FALSE;
    }
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    BOOL started = CreateProcessA(viewer, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process);
    *error = GetLastError();
    free(commandLine);
    if (!started)
        return FALSE;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return TRUE;
}

BOOL LaunchViewer(const char *fileName, char *viewer, DWORD *error)
{
    GetViewerPath(viewer, VIEWER_PATH_READ);
    if (StartViewerProcess(viewer, fileName, error))
        return TRUE;
    DeleteFileA(fileName);
    return FALSE;
}
