/* The job: print dialog, copies, source, then printing or saving. */
#include "viewer.h"

#include "handles.h"
#include "messages.h"
#include "syscalls.h"
#include "url_open.h"

#include <commdlg.h>

#define MESSAGE_STYLE (MB_ICONEXCLAMATION | MB_OK)

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
    UrlHandles url;
    ScopedFile file;
    if (sourceIsUrl ? !OpenUrlSource(source, &url) : !OpenFileSource(source, &file))
        return;

    if (toFile)
        SaveSource(file.Get(), url.request.Get(), copies);
    else
        PrintSource(file.Get(), url.request.Get(), printerName, copies);
}
