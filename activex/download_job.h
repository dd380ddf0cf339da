/*
 * A download job: what the control does each time it is activated in place
 * in run mode.  It fetches the control's URL into a temporary file of its own
 * and hands the finished file to the viewer program, which prints and
 * deletes it.  Each job owns its file and its transfer; the control only
 * starts it.
 */
#ifndef CORVALA_AX_DOWNLOAD_JOB_H
#define CORVALA_AX_DOWNLOAD_JOB_H

#include <windows.h>
#include <ole2.h>

enum { TEMP_NAME_CAPACITY = 264 };

/* Starts a job for url (may be NULL).  container is the control's client
   site (may be NULL), asked for a bind host.  The temporary file's path is
   copied into tempFileName (TEMP_NAME_CAPACITY bytes) once it has a name. */
void StartJob(BSTR url, IUnknown *container, char *tempFileName);

/* Fills buffer with the viewer program's path. */
void GetViewerPath(char *buffer, int capacity);

#endif
