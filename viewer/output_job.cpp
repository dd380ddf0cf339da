/* The job: print dialog, copies, source, then printing or saving. */
#include "viewer.h"

#include "ansi_names.h"
#include "handles.h"
#include "messages.h"
#include "syscalls.h"
#include "url_open.h"

#include <commdlg.h>
#include <stdlib.h>
#include <winspool.h>

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

/* How choosing the printer ended. */
enum Choice { CHOSEN, CHOICE_CANCELLED, CHOICE_FAILED };

/* Shows the print dialog (or takes the default printer); a failure is
   reported here, a cancel is not. */
static Choice AskPrinter(PRINTDLGA *pd, BOOL useDefaultPrinter)
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
        return CHOSEN;
    DWORD code = CommDlgExtendedError();
    if (code == 0)
        return CHOICE_CANCELLED;
    ShowMessageCode(NULL, IDS_PRINT_DIALOG_ERROR, code, MESSAGE_STYLE);
    return CHOICE_FAILED;
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

/* Where the data goes and how often. */
struct OutputTarget {
    BOOL toFile;
    int copies;
    const char *printerName;
};

/* The print dialog's choice (or the default printer's).  The returned
   printer name lives in the blocks that the guards keep locked. */
static Choice ChooseInDialog(PrintDialogResult *dialog, BOOL useDefaultPrinter, GlobalLockGuard *devmodeLock,
                             GlobalLockGuard *devnamesLock, OutputTarget *target)
{
    PRINTDLGA *pd = dialog->Record();
    Choice choice = AskPrinter(pd, useDefaultPrinter);
    if (choice != CHOSEN)
        return choice;
    dialog->ReleaseDC(); /* made because PD_RETURNDC asks for it; never used */
    target->toFile = (pd->Flags & PD_PRINTTOFILE) != 0;

    const DEVMODEA *devmode = (const DEVMODEA *)devmodeLock->Lock(pd->hDevMode);
    const DEVNAMES *devnames = (const DEVNAMES *)devnamesLock->Lock(pd->hDevNames);
    if (devmode == NULL || devnames == NULL) {
        ShowMessage(NULL, IDS_NO_DEVMODE, MESSAGE_STYLE);
        return CHOICE_FAILED;
    }
    target->copies = ChosenCopies(pd, devmode);
    target->printerName = (const char *)devnames + devnames->wDeviceOffset;
    return CHOSEN;
}

/* dmCopies of the settings GetPrinterA gives at level (2 or 9), or 0 when
   they are not there. */
static int CopiesAtLevel(HANDLE printer, DWORD level)
{
    DWORD needed = 0;
    GetPrinterA(printer, level, NULL, 0, &needed);
    if (needed == 0)
        return 0;
    BYTE *info = (BYTE *)osCall(CorvMalloc)(needed);
    if (info == NULL)
        return 0;
    const DEVMODEA *devmode = NULL;
    if (GetPrinterA(printer, level, info, needed, &needed))
        devmode = level == 9 ? ((const PRINTER_INFO_9A *)info)->pDevMode : ((const PRINTER_INFO_2A *)info)->pDevMode;
    int copies = devmode != NULL && (devmode->dmFields & DM_COPIES) != 0 ? (short)devmode->dmCopies : 0;
    free(info);
    return copies;
}

/* The copies a printer's default settings ask for, at least 1: the user's
   own defaults, else the printer's. */
static int DefaultCopies(HANDLE printer)
{
    int copies = CopiesAtLevel(printer, 9);
    if (copies <= 0)
        copies = CopiesAtLevel(printer, 2);
    return copies > 1 ? copies : 1;
}

/* FALSE with the reason in GetLastError. */
static BOOL OpenNamedPrinter(const char *printerName, HANDLE *opened)
{
    if (printerName[0] == '\0') { /* would stand for the print server, not a printer */
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    return PrinterNameIsExact(printerName) && osCall(OpenPrinterA)((LPSTR)printerName, opened, NULL);
}

/* A printer named by the caller, with its default settings and without a
   dialog; one that cannot be opened is reported as in the job. */
static Choice TakeNamedPrinter(const char *printerName, OutputTarget *target)
{
    HANDLE opened = NULL;
    if (!OpenNamedPrinter(printerName, &opened)) {
        ShowSystemError(NULL, IDS_OPEN_PRINTER_ERROR, GetLastError(), MESSAGE_STYLE);
        return CHOICE_FAILED;
    }
    ScopedPrinter printer(opened);
    target->toFile = FALSE;
    target->copies = DefaultCopies(printer.Get());
    target->printerName = printerName;
    return CHOSEN;
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

static JobOutcome Ended(JobEnd end, int copies = 0)
{
    JobOutcome outcome = { end, copies };
    return outcome;
}

JobOutcome RunOutputJob(const char *source, BOOL useDefaultPrinter, BOOL sourceIsUrl, const char *namedPrinter)
{
    PrintDialogResult dialog;
    GlobalLockGuard devmodeLock;
    GlobalLockGuard devnamesLock;
    OutputTarget target = { FALSE, 1, NULL };
    Choice choice = namedPrinter != NULL
                        ? TakeNamedPrinter(namedPrinter, &target)
                        : ChooseInDialog(&dialog, useDefaultPrinter, &devmodeLock, &devnamesLock, &target);
    if (choice != CHOSEN)
        return Ended(choice == CHOICE_CANCELLED ? JOB_CANCELLED : JOB_FAILED);

    /* Opened after the printer is chosen; closed in reverse order on every
       path. */
    UrlHandles url;
    ScopedFile file;
    if (sourceIsUrl ? !OpenUrlSource(source, &url) : !OpenFileSource(source, &file))
        return Ended(JOB_FAILED);

    if (target.toFile)
        return Ended(SaveSource(file.Get(), url.request.Get(), target.copies));
    if (!PrintSource(file.Get(), url.request.Get(), target.printerName, target.copies))
        return Ended(JOB_FAILED);
    return Ended(JOB_PRINTED, target.copies > 0 ? target.copies : 0);
}
