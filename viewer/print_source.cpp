/* Raw printing: one "RAW" document with one page holding every copy. */
#include "ansi_names.h"
#include "copy_loop.h"
#include "messages.h"
#include "syscalls.h"
#include "write_all.h"

#include <winspool.h>

#define MESSAGE_STYLE (MB_ICONEXCLAMATION | MB_OK)

namespace {

class PrinterDestination : public CopyDestination {
public:
    explicit PrinterDestination(HANDLE printer) : printer_(printer) {}

    BOOL Write(const void *data, DWORD size) override
    {
        return WritePrinterAll(printer_, data, size);
    }
    void ReportReadFailure(DWORD error) override
    {
        ShowSystemError(NULL, IDS_READ_INPUT_ERROR, error, MESSAGE_STYLE);
    }
    void ReportWriteFailure(DWORD error) override
    {
        ShowSystemError(NULL, IDS_WRITE_PRINTER_ERROR, error, MESSAGE_STYLE);
    }

private:
    HANDLE printer_;
};

} // namespace

BOOL PrintSource(HANDLE sourceFile, HINTERNET url, const char *printerName, int copies)
{
    ReplaySource source(sourceFile, url, copies);
    if (!source.Prepare())
        return FALSE;

    /* No PRINTER_DEFAULTS: the printer's own settings apply.  A name that
       could stand for another printer in ANSI is not opened at all. */
    HANDLE opened = NULL;
    if (!PrinterNameIsExact(printerName) || !osCall(OpenPrinterA)((LPSTR)printerName, &opened, NULL)) {
        ShowSystemError(NULL, IDS_OPEN_PRINTER_ERROR, GetLastError(), MESSAGE_STYLE);
        return FALSE;
    }
    ScopedPrinter printer(opened);

    char docName[SHARED_TEXT_CAPACITY];
    lstrcpynA(docName, TextOf(IDS_DOC_NAME), sizeof(docName));
    DOC_INFO_1A doc = { docName, NULL, (LPSTR) "RAW" };
    if (osCall(StartDocPrinterA)(printer.Get(), 1, (LPBYTE)&doc) == 0) {
        ShowSystemError(NULL, IDS_START_DOC_ERROR, GetLastError(), MESSAGE_STYLE);
        return FALSE;
    }
    if (!osCall(StartPagePrinter)(printer.Get())) {
        ShowSystemError(NULL, IDS_START_PAGE_ERROR, GetLastError(), MESSAGE_STYLE);
        osCall(EndDocPrinter)(printer.Get());
        return FALSE;
    }

    PrinterDestination destination(printer.Get());
    if (!CopyLoop(source, copies, destination)) {
        /* A cut-off report is not printed: the document is abandoned and
           the printer receives nothing. */
        osCall(AbortPrinter)(printer.Get());
        return FALSE;
    }
    osCall(EndPagePrinter)(printer.Get());
    osCall(EndDocPrinter)(printer.Get());
    return TRUE;
}
