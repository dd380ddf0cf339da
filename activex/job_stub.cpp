/* Temporary stand-in for the download job until it is merged in. */
#include "download_job.h"
#include <string.h>

HRESULT StartJob(BSTR, IUnknown *, char *tempFileName)
{
    if (tempFileName)
        tempFileName[0] = '\0';
    return S_FALSE;
}

void GetViewerPath(char *buffer, int capacity)
{
    if (buffer && capacity > 0)
        lstrcpynA(buffer, "Corvala Viewer.exe", capacity);
}

LONG DownloadJobsRunning(void)
{
    return 0;
}
