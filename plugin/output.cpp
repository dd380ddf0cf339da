/*
 * The job's destination: a printer fed a "RAW" document of one page, or a
 * file the user names.  Opening either offers Retry; closing happens in the
 * reverse order of opening and reports nothing.
 */
#include "plugin.h"

#include <commdlg.h>
#include <winspool.h>

#include "ansi_names.h"
#include "messages.h"
#include "syscalls.h"
#include "write_all.h"

#define RETRY_STYLE (MB_ICONEXCLAMATION | MB_RETRYCANCEL)
#define MESSAGE_STYLE (MB_ICONEXCLAMATION | MB_OK)
#define PATH_CAPACITY 260

static const char kRawDataType[] = "RAW";

/* Undoes a half-opened printer, innermost step first. */
static void ClosePrinterOutput(SpoolJob *job)
{
    if (job->pageStarted)
        osCall(EndPagePrinter)(job->hPrinter);
    if (job->docStarted)
        osCall(EndDocPrinter)(job->hPrinter);
    if (job->printerOpen)
        ClosePrinter(job->hPrinter);
    job->pageStarted = FALSE;
    job->docStarted = 0;
    job->printerOpen = FALSE;
    job->hPrinter = NULL;
}

/* Opens the printer, starts the document and the page; the id of the text
   for the step that failed, or 0. */
static UINT OpenPrinterSteps(SpoolJob *job, const char *deviceName)
{
    /* A name that could stand for another printer in ANSI is not opened. */
    job->printerOpen = PrinterNameIsExact(deviceName) && osCall(OpenPrinterA)((LPSTR)deviceName, &job->hPrinter, NULL);
    if (!job->printerOpen)
        return IDS_OPEN_PRINTER_ERROR;
    DOC_INFO_1A doc;
    doc.pDocName = TextOf(IDS_DOC_NAME);
    doc.pOutputFile = NULL;
    doc.pDatatype = (LPSTR)kRawDataType;
    job->docStarted = osCall(StartDocPrinterA)(job->hPrinter, 1, (LPBYTE)&doc);
    if (job->docStarted == 0)
        return IDS_START_DOC_ERROR;
    job->pageStarted = osCall(StartPagePrinter)(job->hPrinter);
    if (!job->pageStarted)
        return IDS_START_PAGE_ERROR;
    return 0;
}

int StartPrinterOutput(SpoolJob *job, const char *deviceName, BOOL *retry)
{
    *retry = FALSE;
    UINT failedStep = OpenPrinterSteps(job, deviceName);
    if (failedStep == 0)
        return 0;
    DWORD error = GetLastError();
    if (ShowSystemError(NULL, failedStep, error, RETRY_STYLE) == IDRETRY)
        *retry = TRUE;
    ClosePrinterOutput(job);
    return 1;
}

int StartFileOutput(NPP instance, SpoolJob *job, BOOL *retry)
{
    *retry = FALSE;
    char path[PATH_CAPACITY] = "";
    SaveChoice choice = AskSaveFileName(InstanceWindow(instance), path, PATH_CAPACITY);
    if (choice == SAVE_CANCELLED)
        return 1;
    if (choice == SAVE_NAME_NOT_ANSI) {
        if (ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, GetLastError(), path, RETRY_STYLE) == IDRETRY)
            *retry = TRUE;
        return 1;
    }

    job->hFile = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (job->hFile != INVALID_HANDLE_VALUE) {
        lstrcpynA(job->path, path, sizeof(job->path));
        return 0;
    }
    DWORD error = GetLastError();
    if (ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, error, path, RETRY_STYLE) == IDRETRY)
        *retry = TRUE;
    return 1;
}

/* The whole block to the job's destination. */
static BOOL WriteAll(SpoolJob *job, const BYTE *data, DWORD length)
{
    return job->toFile != 0 ? WriteFileAll(job->hFile, data, length) : WritePrinterAll(job->hPrinter, data, length);
}

BOOL WriteToDestination(SpoolJob *job, const void *data, DWORD length)
{
    if (length == 0)
        return TRUE;
    if (WriteAll(job, (const BYTE *)data, length))
        return TRUE;
    DWORD error = GetLastError();
    job->failed = TRUE;
    ShowSystemError(NULL, job->toFile != 0 ? IDS_WRITE_DISK_ERROR : IDS_WRITE_PRINTER_ERROR, error, MESSAGE_STYLE);
    return FALSE;
}

void CloseDestination(SpoolJob *job)
{
    if (job->hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(job->hFile);
        job->hFile = INVALID_HANDLE_VALUE;
    }
    ClosePrinterOutput(job);
}

void AbandonDestination(SpoolJob *job)
{
    if (job->hFile != INVALID_HANDLE_VALUE) {
        BOOL diskFile = GetFileType(job->hFile) == FILE_TYPE_DISK; /* never a device */
        CloseHandle(job->hFile);
        job->hFile = INVALID_HANDLE_VALUE;
        if (diskFile)
            DeleteFileA(job->path);
    }
    if (job->docStarted) {
        osCall(AbortPrinter)(job->hPrinter); /* deletes the document: nothing prints */
        job->pageStarted = FALSE;
        job->docStarted = 0;
    }
    ClosePrinterOutput(job);
}
