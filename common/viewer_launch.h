/* Handing a finished spool file to the viewer program, which prints it and
   deletes it.  The viewer is the one the App Paths key names. */
#ifndef CORVALA_VIEWER_LAUNCH_H
#define CORVALA_VIEWER_LAUNCH_H

#include <windows.h>

enum { VIEWER_PATH_CAPACITY = 524 };

/* Fills buffer with the viewer program's path: the App Paths key's default
   value, else "Corvala Viewer.exe". */
void GetViewerPath(char *buffer, int capacity);

/* Starts the viewer with `"<viewer>" "<fileName>" -d` on a closed file and
   lets it go.  FALSE when it could not be started: error holds the reason,
   viewer (VIEWER_PATH_CAPACITY bytes) the path that was tried, and the file
   has been deleted, since nobody else will. */
BOOL LaunchViewer(const char *fileName, char *viewer, DWORD *error);

/* The print host's start: `"<viewer>" "<fileName>" -d -o "<outcomeFile>"`,
   and for a print without a dialog ` -u` (printer "", the default printer)
   or ` -p "<printer>"` (printer NULL: the dialog as usual).  *process gets
   the viewer's process handle, to wait for its outcome.  FALSE as for
   LaunchViewer, but the file is left where it is for the caller. */
BOOL StartViewerWithOutcome(const char *fileName, const char *outcomeFile, const char *printer, char *viewer,
                            DWORD *error, HANDLE *process);

#endif
