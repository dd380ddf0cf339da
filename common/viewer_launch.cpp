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

/* The parts (up to a NULL) in a row, allocated to fit; NULL when out of
   memory. */
static char *JoinParts(const char *const *parts)
{
    size_t length = 1;
    for (const char *const *part = parts; *part != NULL; part++)
        length += strlen(*part);
    char *line = (char *)osCall(CorvMalloc)(length);
    if (line == NULL)
        return NULL;
    line[0] = '\0';
    for (const char *const *part = parts; *part != NULL; part++)
        strcat(line, *part);
    return line;
}

/* Starts the viewer on commandLine (freed here); *process gets its handle,
   or it is let go at once when process is NULL. */
static BOOL StartViewerProcess(const char *viewer, char *commandLine, DWORD *error, HANDLE *process)
{
    if (commandLine == NULL) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return FALSE;
    }
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started;
    BOOL ok = CreateProcessA(viewer, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started);
    *error = GetLastError();
    free(commandLine);
    if (!ok)
        return FALSE;
    CloseHandle(started.hThread);
    if (process != NULL)
        *process = started.hProcess;
    else
        CloseHandle(started.hProcess);
    return TRUE;
}

/* The process is let go at once: its outcome is the viewer's to report. */
BOOL LaunchViewer(const char *fileName, char *viewer, DWORD *error)
{
    GetViewerPath(viewer, VIEWER_PATH_READ);
    const char *parts[] = { "\"", viewer, "\" \"", fileName, "\" -d", NULL };
    if (StartViewerProcess(viewer, JoinParts(parts), error, NULL))
        return TRUE;
    DeleteFileA(fileName);
    return FALSE;
}

BOOL StartViewerWithOutcome(const char *fileName, const char *outcomeFile, const char *printer, char *viewer,
                            DWORD *error, HANDLE *process)
{
    GetViewerPath(viewer, VIEWER_PATH_READ);
    const char *parts[] = { "\"", viewer, "\" \"", fileName, "\" -d -o \"", outcomeFile, "\"", NULL, NULL, NULL, NULL };
    if (printer != NULL && printer[0] == '\0') {
        parts[7] = " -u";
    } else if (printer != NULL) {
        parts[7] = " -p \"";
        parts[8] = printer;
        parts[9] = "\"";
    }
    return StartViewerProcess(viewer, JoinParts(parts), error, process);
}
