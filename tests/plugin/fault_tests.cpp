/* Failures that no real component produces on demand: spooler calls that
   fail half-way, short writes, a driver that reports copies in nCopies, a
   print dialog that fails, a DEVMODE that cannot be locked, a printer that
   disappears between the dialog and its opening.  The plug-in's core is
   linked into this process so that the system-call table reaches it; the
   browser stand-in drives it through the same entry points. */
#include "doctest_config.h"
#include "dialogs.h"
#include "faults.h"
#include "messages.h"
#include "plugin.h"
#include "plugin_testing.h"
#include "testbed.h"

using namespace nphost;
using namespace testbed;

namespace {

const UINT kRetryStyle = MB_ICONEXCLAMATION | MB_RETRYCANCEL;
const UINT kOkStyle = MB_ICONEXCLAMATION | MB_OK;

/* The core has no DllMain here: load the texts as the library would. */
struct Resources {
    Resources()
    {
        InitResources(GetModuleHandleA(NULL));
        LoadCaption(IDS_APP_TITLE);
    }
} g_resources;

struct InProcessBrowser {
    PluginHost host;
    HostInstance *instance;
    InProcessBrowser() : instance(nullptr)
    {
        host.Use(EntryPoints{ NP_GetEntryPoints, NP_Initialize, NP_Shutdown });
        REQUIRE(host.Start() == NPERR_NO_ERROR);
        instance = new HostInstance(host);
        REQUIRE(instance->New() == NPERR_NO_ERROR);
        REQUIRE(instance->SetWindow() == NPERR_NO_ERROR);
        ResetMemoryCounters();
    }
    ~InProcessBrowser() { delete instance; }
};

/* Puts the sandbox printer back if a test left it removed. */
void EnsureSandboxPrinter()
{
    HANDLE printer = NULL;
    if (OpenPrinterA((LPSTR)PrinterName().c_str(), &printer, NULL))
        ClosePrinter(printer);
    else
        RestoreSandboxPrinter();
}

bool StartsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

/* --- spooler doubles that pass through to the real spooler ------------- */

struct SpoolerLog {
    int writeCalls;
    uint64_t bytesWritten;
    int failWriteAt;       /* 1-based call that fails, 0: none */
    DWORD writeLimit;      /* at most this much per call, 0: no limit */
    int endDocCalls;
    int endPageCalls;
    int abortCalls;
    int openCalls;
    bool restoreOnSecondOpen;
    int failStartDoc;      /* calls left to fail */
    int failStartPage;
};
SpoolerLog g_spooler;

BOOL WINAPI LoggingWritePrinter(HANDLE printer, LPVOID data, DWORD length, LPDWORD written)
{
    if (++g_spooler.writeCalls == g_spooler.failWriteAt) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    if (g_spooler.writeLimit != 0 && length > g_spooler.writeLimit)
        length = g_spooler.writeLimit;
    BOOL ok = ::WritePrinter(printer, data, length, written);
    if (ok)
        g_spooler.bytesWritten += *written;
    return ok;
}

BOOL WINAPI LoggingEndDocPrinter(HANDLE printer)
{
    g_spooler.endDocCalls++;
    return ::EndDocPrinter(printer);
}

BOOL WINAPI LoggingAbortPrinter(HANDLE printer)
{
    g_spooler.abortCalls++;
    return ::AbortPrinter(printer);
}

BOOL WINAPI LoggingEndPagePrinter(HANDLE printer)
{
    g_spooler.endPageCalls++;
    return ::EndPagePrinter(printer);
}

DWORD WINAPI FailingStartDocPrinter(HANDLE printer, DWORD level, LPBYTE info)
{
    if (g_spooler.failStartDoc > 0) {
        g_spooler.failStartDoc--;
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    return ::StartDocPrinterA(printer, level, info);
}

BOOL WINAPI FailingStartPagePrinter(HANDLE printer)
{
    if (g_spooler.failStartPage > 0) {
        g_spooler.failStartPage--;
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return ::StartPagePrinter(printer);
}

/* The printer goes away between the print dialog and its opening; with
   restoreOnSecondOpen it is back in time for the retry. */
BOOL WINAPI VanishingOpenPrinter(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults)
{
    g_spooler.openCalls++;
    if (g_spooler.openCalls == 1)
        RemoveSandboxPrinter();
    if (g_spooler.openCalls == 2 && g_spooler.restoreOnSecondOpen)
        RestoreSandboxPrinter();
    return ::OpenPrinterA(name, printer, defaults);
}

struct SpoolerDoubles {
    SysCallOverride write{ "WritePrinter", AsProc(LoggingWritePrinter) };
    SysCallOverride endDoc{ "EndDocPrinter", AsProc(LoggingEndDocPrinter) };
    SysCallOverride endPage{ "EndPagePrinter", AsProc(LoggingEndPagePrinter) };
    SysCallOverride abort{ "AbortPrinter", AsProc(LoggingAbortPrinter) };
    SysCallOverride startDoc{ "StartDocPrinterA", AsProc(FailingStartDocPrinter) };
    SysCallOverride startPage{ "StartPagePrinter", AsProc(FailingStartPagePrinter) };
    SpoolerDoubles() { g_spooler = SpoolerLog(); }
};

/* --- print dialog doubles ---------------------------------------------- */

/* A real failure of the dialog: comdlg32 refuses the structure size. */
BOOL WINAPI FailingPrintDlg(LPPRINTDLGA pd)
{
    pd->lStructSize = 0;
    return ::PrintDlgA(pd);
}

LPVOID WINAPI FailingGlobalLock(HGLOBAL block)
{
    SetLastError(ERROR_INVALID_HANDLE);
    return NULL;
}

} // namespace

TEST_CASE("blocks reach the spooler while the stream runs, and short writes lose nothing")
{
    InProcessBrowser browser;
    SpoolerDoubles doubles;
    g_spooler.writeLimit = 1000;
    std::string data = PatternBytes(200000, 21);
    size_t before = SpoolJobs().size();
    DialogAnswerer answerer({ PrintOk(1) });
    HostStream stream(*browser.instance, "http://server/m.cvep", (uint32_t)data.size());
    REQUIRE(stream.Open() == NPERR_NO_ERROR);
    for (size_t offset = 0; offset < data.size(); offset += 30000) {
        std::string block = data.substr(offset, 30000);
        CHECK(stream.Write(block.data(), (int32_t)block.size()) == (int32_t)block.size());
        CHECK(g_spooler.bytesWritten == offset + block.size());
    }
    CHECK(stream.End(NPRES_DONE) == NPERR_NO_ERROR);
    CHECK(g_spooler.endPageCalls == 1);
    CHECK(g_spooler.endDocCalls == 1);
    std::vector<std::string> documents = PrintedSince(before, 1);
    REQUIRE(documents.size() == 1);
    CHECK(documents[0] == data);
}

TEST_CASE("a driver that reports copies in nCopies gets them too")
{
    InProcessBrowser browser;
    SysCallOverride dialog("PrintDlgA", AsProc(PrintDlgCopiesInNCopies));
    std::string data = PatternBytes(20000, 22);
    size_t before = SpoolJobs().size();
    DialogAnswerer answerer({ PrintOk(3) });
    HostStream stream(*browser.instance, "http://server/n.cvep", (uint32_t)data.size());
    REQUIRE(stream.Open() == NPERR_NO_ERROR);
    CHECK(stream.Feed(data, 3000));
    CHECK(stream.End(NPRES_DONE) == NPERR_NO_ERROR);
    std::vector<std::string> documents = PrintedSince(before, 1);
    REQUIRE(documents.size() == 1);
    CHECK(documents[0] == Repeated(data, 3));
}

TEST_CASE("a printer that cannot be opened offers Retry without a new print dialog")
{
    InProcessBrowser browser;
    SpoolerDoubles doubles;
    SysCallOverride open("OpenPrinterA", AsProc(VanishingOpenPrinter));
    MessageBoxRecorder boxes;
    size_t before = SpoolJobs().size();
    std::string data = PatternBytes(10000, 23);

    SUBCASE("Retry, and the printer is back")
    {
        g_spooler.restoreOnSecondOpen = true;
        DialogAnswerer answerer({ PrintOk(1), Box(IDRETRY) });
        HostStream stream(*browser.instance, "http://server/o.cvep", (uint32_t)data.size());
        REQUIRE(stream.Open() == NPERR_NO_ERROR);
        CHECK(stream.Feed(data, 4096));
        CHECK(stream.End(NPRES_DONE) == NPERR_NO_ERROR);
        CHECK(answerer.ScriptDone());
        CHECK(answerer.Count(DialogKind::PrintDialog) == 1);
        std::vector<std::string> documents = PrintedSince(before, 1);
        REQUIRE(documents.size() == 1);
        CHECK(documents[0] == data);
    }
    SUBCASE("Retry, then Cancel")
    {
        DialogAnswerer answerer({ PrintOk(1), Box(IDRETRY), Box(IDCANCEL) });
        HostStream stream(*browser.instance, "http://server/p.cvep", (uint32_t)data.size());
        CHECK(stream.Open() == NPERR_GENERIC_ERROR);
        CHECK(stream.Raw().pdata == nullptr);
        CHECK(answerer.ScriptDone());
        CHECK(answerer.Count(DialogKind::PrintDialog) == 1);
        CHECK(g_spooler.openCalls == 2);
        CHECK(g_spooler.endDocCalls == 0);
        EnsureSandboxPrinter();
        CHECK(PrintedSince(before, 0).empty());
    }
    EnsureSandboxPrinter();
    REQUIRE(boxes.Boxes().size() >= 1);
    for (const RecordedBox &box : boxes.Boxes()) {
        CHECK(StartsWith(box.text, "Open Printer Error\n"));
        CHECK(box.caption == "Corvala/400");
        CHECK(box.style == kRetryStyle);
        CHECK(box.owner == NULL);
    }
    CHECK(Memory().liveBlocks == 1);
}

TEST_CASE("spooler steps that fail half-way are undone in reverse order")
{
    InProcessBrowser browser;
    SpoolerDoubles doubles;
    MessageBoxRecorder boxes;
    size_t before = SpoolJobs().size();
    std::string data = PatternBytes(8000, 24);

    SUBCASE("the document cannot be started: Retry starts over")
    {
        g_spooler.failStartDoc = 1;
        DialogAnswerer answerer({ PrintOk(1), Box(IDRETRY) });
        HostStream stream(*browser.instance, "http://server/q.cvep", (uint32_t)data.size());
        REQUIRE(stream.Open() == NPERR_NO_ERROR);
        CHECK(stream.Feed(data, 4096));
        CHECK(stream.End(NPRES_DONE) == NPERR_NO_ERROR);
        REQUIRE(boxes.Boxes().size() == 1);
        CHECK(StartsWith(boxes.Boxes()[0].text, "StartDocPrinter Error\n"));
        CHECK(boxes.Boxes()[0].style == kRetryStyle);
        std::vector<std::string> documents = PrintedSince(before, 1);
        REQUIRE(documents.size() == 1);
        CHECK(documents[0] == data);
    }
    SUBCASE("the page cannot be started: Cancel ends the document")
    {
        g_spooler.failStartPage = 1;
        DialogAnswerer answerer({ PrintOk(1), Box(IDCANCEL) });
        HostStream stream(*browser.instance, "http://server/r.cvep", (uint32_t)data.size());
        CHECK(stream.Open() == NPERR_GENERIC_ERROR);
        REQUIRE(boxes.Boxes().size() == 1);
        CHECK(StartsWith(boxes.Boxes()[0].text, "StartPagePrinter Error\n"));
        CHECK(g_spooler.endPageCalls == 0);
        CHECK(g_spooler.endDocCalls == 1);
        PrintedSince(before, 0); /* let the ended document land */
    }
    CHECK(Memory().liveBlocks == 1);
}

TEST_CASE("a failed write shows one message and the document is abandoned")
{
    InProcessBrowser browser;
    SpoolerDoubles doubles;
    MessageBoxRecorder boxes;
    size_t before = SpoolJobs().size();
    std::string data = PatternBytes(30000, 25);

    SUBCASE("while passing one copy through")
    {
        g_spooler.failWriteAt = 2;
        DialogAnswerer answerer({ PrintOk(1), Box(IDOK) });
        HostStream stream(*browser.instance, "http://server/s.cvep", (uint32_t)data.size());
        REQUIRE(stream.Open() == NPERR_NO_ERROR);
        CHECK(stream.Write(data.data(), 10000) == 10000);
        CHECK(stream.Write(data.data() + 10000, 10000) == -1);
        CHECK(stream.End(NPRES_NETWORK_ERR) == NPERR_NO_ERROR);
        CHECK(g_spooler.writeCalls == 2);
    }
    SUBCASE("while writing collected copies: the rest are skipped")
    {
        g_spooler.failWriteAt = 2;
        DialogAnswerer answerer({ PrintOk(3), Box(IDOK) });
        HostStream stream(*browser.instance, "http://server/t.cvep", (uint32_t)data.size());
        REQUIRE(stream.Open() == NPERR_NO_ERROR);
        CHECK(stream.Feed(data, 10000));
        CHECK(g_spooler.writeCalls == 0);
        CHECK(stream.End(NPRES_DONE) == NPERR_NO_ERROR);
        CHECK(g_spooler.writeCalls == 2);
    }
    REQUIRE(boxes.Boxes().size() == 1);
    CHECK(StartsWith(boxes.Boxes()[0].text, "WritePrinter Error\n"));
    CHECK(boxes.Boxes()[0].style == kOkStyle);
    CHECK(boxes.Boxes()[0].owner == NULL);
    CHECK(g_spooler.abortCalls == 1);
    CHECK(g_spooler.endPageCalls == 0);
    CHECK(g_spooler.endDocCalls == 0);
    PrintedSince(before, 1); /* Wine's AbortPrinter is a stub: let the document land */
    CHECK(Memory().liveBlocks == 1);
}

TEST_CASE("a stream the browser breaks off abandons its document, one copy or several")
{
    InProcessBrowser browser;
    SpoolerDoubles doubles;
    std::string part = PatternBytes(50000, 26);
    const struct {
        int copies;
        NPReason reason;
    } cases[] = { { 1, NPRES_NETWORK_ERR }, { 2, NPRES_USER_BREAK } };
    for (const auto &c : cases) {
        CAPTURE(c.copies);
        size_t before = SpoolJobs().size();
        g_spooler = SpoolerLog();
        DialogAnswerer answerer({ PrintOk(c.copies) });
        HostStream stream(*browser.instance, "http://server/u.cvep", 1000000);
        REQUIRE(stream.Open() == NPERR_NO_ERROR);
        CHECK(stream.Feed(part, 16384));
        CHECK(stream.End(c.reason) == NPERR_NO_ERROR);
        CHECK(answerer.ScriptDone());
        CHECK(g_spooler.abortCalls == 1);
        CHECK(g_spooler.endDocCalls == 0);
        CHECK(g_spooler.bytesWritten == (c.copies == 1 ? part.size() : 0));
        PrintedSince(before, 1); /* as above */
    }
    CHECK(Memory().liveBlocks == 1);
}

TEST_CASE("the print dialog fails, or its blocks cannot be locked")
{
    InProcessBrowser browser;
    MessageBoxRecorder boxes;
    size_t before = SpoolJobs().size();

    SUBCASE("the dialog fails: its error code is shown")
    {
        SysCallOverride dialog("PrintDlgA", AsProc(FailingPrintDlg));
        DialogAnswerer answerer({ Box(IDOK) });
        HostStream stream(*browser.instance, "http://server/u.cvep", 10);
        CHECK(stream.Open() == NPERR_GENERIC_ERROR);
        REQUIRE(boxes.Boxes().size() == 1);
        CHECK(boxes.Boxes()[0].text == "PrintDialog box failed\nCD ERR 1");
        CHECK(boxes.Boxes()[0].style == kOkStyle);
    }
    SUBCASE("the DEVMODE cannot be locked: the job is released")
    {
        SysCallOverride lock("GlobalLock", AsProc(FailingGlobalLock));
        DialogAnswerer answerer({ PrintOk(2), Box(IDOK) });
        HostStream stream(*browser.instance, "http://server/v.cvep", 10);
        CHECK(stream.Open() == NPERR_GENERIC_ERROR);
        CHECK(stream.Raw().pdata == nullptr);
        REQUIRE(boxes.Boxes().size() == 1);
        CHECK(boxes.Boxes()[0].text == "lpDevMode is NULL");
        CHECK(boxes.Boxes()[0].owner == NULL);
    }
    CHECK(Memory().liveBlocks == 1);
    CHECK(PrintedSince(before, 0).empty());
}
