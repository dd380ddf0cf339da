/* Starting the viewer program on a finished temporary file. */
#ifndef CORVALA_AX_VIEWER_LAUNCH_H
#define CORVALA_AX_VIEWER_LAUNCH_H

#include <windows.h>

/* Starts the viewer with `"<viewer>" "<tempFileName>" -d` and lets it go:
   the viewer prints the file and deletes it.  FALSE when it could not be
   started; the user has then been told, naming the viewer's path. */
BOOL LaunchViewer(const char *tempFileName);

#endif
