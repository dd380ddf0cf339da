/*
 * A download job: what the control does each time it is activated in place
 * in run mode.  It fetches the control's URL into a temporary file of its own
 * and hands the finished file to the viewer program, which prints and
 * deletes it.  Each job owns its file and its transfer; the control only
 * starts it, and the job runs to its end even if the control goes first.
 */
#ifndef CORVALA_AX_DOWNLOAD_JOB_H
#define CORVALA_AX_DOWNLOAD_JOB_H

#include <windows.h>
#include <ole2.h>

#include "temp_file.h"
#include "viewer_launch.h"

/* Starts a job for url (may be NULL).  container is the control's client
   site (may be NULL), asked for a bind host; it is not kept.  The temporary
   file's path is copied into tempFileName (TEMP_NAME_CAPACITY bytes) once it
   has a name.  The transfer goes on on the calling apartment thread, which
   must pump messages.  Every failure is shown to the user by the job; the
   result only says what happened: S_OK when a transfer was started,
   S_FALSE when none was (no address, an address that is not fetched, the
   user cancelled), or the failure that kept the transfer from starting. */
HRESULT StartJob(BSTR url, IUnknown *container, char *tempFileName);

/* Creates the job's temporary file, offering Retry and Cancel while it
   cannot be made.  FALSE when the user cancelled: nothing is left on disk. */
BOOL CreateTempFileWithRetry(TempFile &file);

/* Closes and deletes the files of jobs that have not reached their
   outcome: the library is unloaded or the process ends (processEnding),
   and nobody else would ever delete them.  No COM calls. */
void DiscardUnfinishedJobFiles(BOOL processEnding);

/* Jobs of this process that have not reached their outcome yet. */
LONG DownloadJobsRunning(void);

#endif
