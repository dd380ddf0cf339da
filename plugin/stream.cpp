/*
 * The stream functions: the print dialog when a stream opens, every block
 * passed on to the printer or file (or collected when several copies are
 * wanted), and the copies written and the destination closed when it ends.
 */
#include "plugin.h"

#include <commdlg.h>

#include "handles.h"
#include "messages.h"
#include "syscalls.h"

#define MESSAGE_STYLE (MB_ICONEXCLAMATION | MB_OK)

static void FillPrintDialog(PRINTDLGA *pd, HWND owner)
{
    ZeroMemory(pd, sizeof(*pd));
    pd->lStructSize = sizeof(*pd);
    pd->hwndOwner = owner;
    pd->Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE;
    pd->nFromPage = 0xFFFF;
    pd->nToPage = 0xFFFF;
    pd->nMinPage = 1;
    pd->nMaxPage = 0xFFFF;
    pd->nCopies = 1;
}

/* The device context is never drawn on: it goes at once, so that it does
   not hold the printer while the job opens it. */
static void ReleaseDeviceContext(PRINTDLGA *pd)
{
    if (pd->hDC != NULL)
        DeleteDC(pd->hDC);
    pd->hDC = NULL;
}

/* Nothing else the dialog returned is needed once the destination is open. */
static void ReleasePrintDialog(PRINTDLGA *pd)
{
    ReleaseDeviceContext(pd);
    if (pd->hDevMode != NULL)
        GlobalFree(pd->hDevMode);
    if (pd->hDevNames != NULL)
        GlobalFree(pd->hDevNames);
}

/* Tries the destination until it opens or the user gives up; 0 when open. */
static int OpenDestination(NPP instance, SpoolJob *job, const DEVMODEA *devMode, const char *deviceName)
{
    int notOpen = 1;
    BOOL retry = TRUE;
    while (retry) {
        /* Drivers report the user's count either in nCopies or in dmCopies. */
        if (devMode->dmCopies > job->copies)
            job->copies = devMode->dmCopies;
        if (job->toFile != 0)
            notOpen = StartFileOutput(instance, job, &retry);
        else
            notOpen = StartPrinterOutput(job, deviceName, &retry);
    }
    return notOpen;
}

/* Creates the job for a confirmed print dialog, hangs it on the stream and
   opens its destination. */
static NPError StartJob(NPP instance, NPStream *stream, const PRINTDLGA *pd)
{
    SpoolJob *job = (SpoolJob *)BrowserMemAlloc(sizeof(SpoolJob));
    if (job == NULL) {
        ShowMessage(NULL, IDS_NO_MEMORY, MESSAGE_STYLE);
        return NPERR_OUT_OF_MEMORY_ERROR;
    }
    ZeroMemory(job, sizeof(*job));
    job->hFile = INVALID_HANDLE_VALUE;
    job->copies = pd->nCopies;
    job->toFile = pd->Flags & PD_PRINTTOFILE;
    stream->pdata = job;

    GlobalLockGuard devModeLock;
    GlobalLockGuard devNamesLock;
    const DEVMODEA *devMode = (const DEVMODEA *)devModeLock.Lock(pd->hDevMode);
    const DEVNAMES *devNames = (const DEVNAMES *)devNamesLock.Lock(pd->hDevNames);
    if (devMode == NULL || devNames == NULL) {
        ShowMessage(NULL, IDS_NO_DEVMODE, MESSAGE_STYLE);
        return NPERR_GENERIC_ERROR;
    }
    const char *deviceName = (const char *)devNames + devNames->wDeviceOffset;
    return OpenDestination(instance, job, devMode, deviceName) == 0 ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR;
}

NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream *stream, NPBool seekable, uint16_t *stype)
{
    if (instance == NULL)
        return NPERR_INVALID_INSTANCE_ERROR;
    /* A job needs a stream to hang on. */
    if (stream == NULL)
        return NPERR_GENERIC_ERROR;

    PRINTDLGA pd;
    FillPrintDialog(&pd, InstanceWindow(instance));
    NPError result;
    if (osCall(PrintDlgA)(&pd)) {
        ReleaseDeviceContext(&pd);
        result = StartJob(instance, stream, &pd);
    } else {
        DWORD code = CommDlgExtendedError();
        if (code != 0)
            ShowMessageCode(NULL, IDS_PRINT_DIALOG_ERROR, code, MESSAGE_STYLE);
        result = NPERR_GENERIC_ERROR;
    }
    ReleasePrintDialog(&pd);
    if (result != NPERR_NO_ERROR)
        NPP_DestroyStream(instance, stream, NPRES_USER_BREAK);
    return result;
}

int32_t NPP_WriteReady(NPP instance, NPStream *stream)
{
    return WRITE_READY_BYTES;
}

int32_t NPP_Write(NPP instance, NPStream *stream, int32_t offset, int32_t len, void *buffer)
{
    if (instance == NULL)
        return -1;
    SpoolJob *job = stream != NULL ? (SpoolJob *)stream->pdata : NULL;
    if (job == NULL)
        return len; /* no job: the block is taken and dropped */
    if (len < 0 || (len > 0 && buffer == NULL))
        return -1;
    if (job->copies <= 1)
        return WriteToDestination(job, buffer, (DWORD)len) ? len : -1;
    if (!CollectBlock(job, buffer, (DWORD)len)) {
        job->failed = TRUE;
        ShowMessage(NULL, IDS_NO_MEMORY, MESSAGE_STYLE);
        return -1;
    }
    return len;
}

/* Every copy of the collected data, back to back; stops at the first
   failure, which WriteToDestination has shown. */
static void WriteCopies(SpoolJob *job)
{
    if (job->bufferLength == 0 || job->copies < 2)
        return;
    for (int copy = 0; copy < job->copies; copy++)
        if (!WriteToDestination(job, job->buffer, job->bufferLength))
            break;
}

/* Only a stream that arrived whole, every block of it written or collected,
   is printed or kept; an interrupted one leaves nothing behind. */
NPError NPP_DestroyStream(NPP instance, NPStream *stream, NPReason reason)
{
    if (instance == NULL)
        return NPERR_INVALID_INSTANCE_ERROR;
    SpoolJob *job = stream != NULL ? (SpoolJob *)stream->pdata : NULL;
    if (job == NULL)
        return NPERR_NO_ERROR;
    stream->pdata = NULL;
    if (reason != NPRES_DONE)
        job->failed = TRUE;
    if (!job->failed)
        WriteCopies(job);
    if (job->failed)
        AbandonDestination(job);
    else
        CloseDestination(job);
    FreeCollected(job);
    BrowserMemFree(job);
    return NPERR_NO_ERROR;
}
