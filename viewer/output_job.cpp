/* The job: print dialog, copies, source, then printing or saving. */
#include "viewer.h"

#include "handles.h"
#include "messages.h"
#include "syscalls.h"

#include <commdlg.h>
#include <stdio.h>

#define MESSAGE_STYLE (MB_ICONEXCLAMATION | MB_OK)
#define URL_OPEN_FLAGS \
    (INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID)
#define FIRST_HTTP_ERROR_STATUS 400

namespace {

/* The blocks and device context that the print dialog hands over. */
class PrintDialogResult {
public:
    PrintDialogResult() : pd_() {}
    ~PrintDialogResult()
    {
        ReleaseDC();
        if (pd_.hDevNames != NULL)
            GlobalFree(pd_.hDevNames);
        if (pd_.hDevMode != NULL)
            GlobalFree(pd_.hDevMode);
    }
    PrintDialogResult(const PrintDialogResult &) = delete;
    PrintDialogResult &operator=(const PrintDialogResult &) = delete;

    PRINTDLGA *Record() { return &pd_; }
    void ReleaseDC()
    {
        if (pd_.hDC != NULL)
            DeleteDC(pd_.hDC);
        pd_.hDC = NULL;
    }

private:
    PRINTDLGA pd_;
};

} // namespace

/* Shows the print dialog (or takes the default printer); FALSE when the job
   ends here, after reporting a failure (a cancel is not reported). */
static BOOL AskPrinter(PRINTDLGA *pd, BOOL useDefaultPrinter)
{
    pd->lStructSize = sizeof(*pd);
    pd->Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE;
    if (useDefaultPrinter)
        pd->Flags |= PD_RETURNDEFAULT;
    pd->nFromPage = 0xFFFF;
    pd->nToPage = 0xFFFF;
    pd->nMinPage = 1;
    pd->nMaxPage = 0xFFFF;
    pd->nCopies = 1;
    if (osCall(PrintDlgA)(pd))
        return TRUE;
    DWORD code = CommDlgExtendedError();
    if (code != 0)
        ShowMessageCode(NULL, IDS_PRINT_DIALOG_ERROR, code, MESSAGE_STYLE);
    return FALSE;
}

/* The user's count: with PD_USEDEVMODECOPIESANDCOLLATE it is in dmCopies
   when the driver makes copies, in nCopies otherwise. */
static int ChosenCopies(const PRINTDLGA *pd, const DEVMODEA *devmode)
{
    int copies = (WORD)pd->nCopies;
    if ((short)devmode->dmCopies >= copies)
        copies = (short)devmode->dmCopies;
    return copies;
}

/* An error status is not spool data: report it like a URL that cannot be
   opened, naming the status.  TRUE when the data may be used. */
static BOOL CheckHttpStatus(HINTERNET url, const char *source)
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!HttpQueryInfoA(url, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, NULL) ||
        status < FIRST_HTTP_ERROR_STATUS)
        return TRUE; /* not HTTP, or a success */
    char reason[128] = "";
    DWORD reasonSize = sizeof(reason);
    if (!HttpQueryInfoA(url, HTTP_QUERY_STATUS_TEXT, reason, &reasonSize, NULL))
        reason[0] = '\0';
    char detail[160];
    snprintf(detail, sizeof(detail), reason[0] != '\0' ? "%lu %s" : "%lu", (unsigned long)status, reason);
    ShowDetailFor(NULL, IDS_OPEN_FILE_ERROR, source, detail, MESSAGE_STYLE);
    return FALSE;
}

/* Opens the session and the URL; FALSE after reporting a failure. */
static BOOL OpenUrlSource(const char *source, ScopedInternet *session, ScopedInternet *url)
{
    char agent[SHARED_TEXT_CAPACITY];
    lstrcpynA(agent, TextOf(IDS_APP_TITLE), sizeof(agent));
    session->Reset(InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0));
    if (!session->IsValid()) {
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, GetLastError(), source, MESSAGE_STYLE);
        return FALSE;
    }
    url->Reset(InternetOpenUrlA(session->Get(), source, NULL, 0, URL_OPEN_FLAGS, 0));
    if (!url->IsValid()) {
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, GetLastError(), source, MESSAGE_STYLE);
        return FALSE;
    }
    return CheckHttpStatus(url->Get(), source);
}

static BOOL OpenFileSource(const char *source, ScopedFile *file)
{
    file->Reset(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL));
    if (!file->IsValid()) {
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, GetLastError(), source, MESSAGE_STYLE);
        return FALSE;
    }
    return TRUE;
}

void RunOutputJob(const char *source, BOOL useDefaultPrinter, BOOL sourceIsUrl)
{
    PrintDialogResult dialog;
    PRINTDLGA *pd = dialog.Record();
    if (!AskPrinter(pd, useDefaultPrinter))
        return;
    dialog.ReleaseDC(); /* made because PD_RETURNDC asks for it; never used */
    BOOL toFile = (pd->Flags & PD_PRINTTOFILE) != 0;

    GlobalLockGuard devmodeLock;
    GlobalLockGuard devnamesLock;
    const DEVMODEA *devmode = (const DEVMODEA *)devmodeLock.Lock(pd->hDevMode);
    const DEVNAMES *devnames = (const DEVNAMES *)devnamesLock.Lock(pd->hDevNames);
    if (devmode == NULL || devnames == NULL) {
        ShowMessage(NULL, IDS_NO_DEVMODE, MESSAGE_STYLE);
        return;
    }
    int copies = ChosenCopies(pd, devmode);
    const char *printerName = (const char *)devnames + devnames->wDeviceOffset;

    /* Opened after the dialog; closed in reverse order on every path. */
    ScopedInternet session;
    ScopedInternet url;
    ScopedFile file;
    if (sourceIsUrl ? !OpenUrlSource(source, &session, &url) : !OpenFileSource(source, &file))
        return;

    if (toFile)
        SaveSource(file.Get(), url.Get(), copies);
    else
        PrintSource(file.Get(), url.Get(), printerName, copies);
}
