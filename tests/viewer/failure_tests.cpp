/* Every failure is reported with its id text, its subject and the reason
   read right after the failing call; what is open is closed, and output cut
   short is abandoned. */
#include "doctest_config.h"
#include "dialogs.h"
#include "faults.h"
#include "testbed.h"
#include "viewer_test_util.h"

using namespace testbed;
using namespace viewertest;

/* Runs a job with the print dialog answered and one message expected;
   returns its text. */
static std::string JobMessage(const std::string &path, std::vector<DialogStep> script)
{
    script.push_back(Box(IDOK));
    DialogAnswerer answerer(script);
    RunOutputJob(path.c_str(), FALSE, FALSE);
    CHECK(answerer.ScriptDone());
    std::vector<std::string> texts = answerer.MessageTexts();
    return texts.empty() ? std::string() : texts.back();
}

static int g_calls;
static int g_failAt;

static DWORD WINAPI FailStartDoc(HANDLE, DWORD, LPBYTE)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}
static BOOL WINAPI FailStartPage(HANDLE)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}
static BOOL WINAPI FailSecondWrite(HANDLE printer, LPVOID data, DWORD size, LPDWORD written)
{
    if (++g_calls == g_failAt) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return WritePrinter(printer, data, size, written);
}
static BOOL WINAPI FailSecondRead(HANDLE file, LPVOID data, DWORD size, LPDWORD got, LPOVERLAPPED overlapped)
{
    if (++g_calls == g_failAt) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return ReadFile(file, data, size, got, overlapped);
}
static LPVOID WINAPI FailLock(HGLOBAL)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
}
static BOOL WINAPI RemovePrinterThenOpen(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults)
{
    RemoveSandboxPrinter(); /* the printer goes away between dialog and job */
    return OpenPrinterA(name, printer, defaults);
}

TEST_CASE("a missing source is reported after the print dialog and starts no document")
{
    std::string path = MakeScratchDir("nofile") + "\\absent.prn";
    SpoolerSpy spy;
    DialogAnswerer answerer({ PrintOk(1), Box(IDOK) });
    RunOutputJob(path.c_str(), FALSE, FALSE);
    CHECK(answerer.ScriptDone());
    REQUIRE(answerer.Seen().size() == 2);
    CHECK(answerer.Seen()[0].kind == DialogKind::PrintDialog);
    CHECK(answerer.Seen()[1].text == "Unable to open file\n" + path + ": " + SystemText(ERROR_FILE_NOT_FOUND));
    CHECK(answerer.Seen()[1].title == "Corvala/400");
    CHECK(answerer.Seen()[1].owner == NULL);
    CHECK(spy.startDocs == 0);
}

TEST_CASE("printer set-up failures: dialog without a printer, printer gone, document and page refused")
{
    std::string data = PatternBytes(6000, 11);
    std::string path = MakeScratchFile("setup.prn", data);

    SUBCASE("-u without any printer")
    {
        REQUIRE(RemoveSandboxPrinter());
        DialogAnswerer answerer({ Box(IDOK) });
        RunOutputJob(path.c_str(), TRUE, FALSE);
        std::vector<std::string> texts = answerer.MessageTexts();
        REQUIRE(RestoreSandboxPrinter());
        REQUIRE(texts.size() == 1);
        CHECK(texts[0] == "PrintDialog box failed\nCD ERR 1008");
    }
    SUBCASE("the printer vanishes before it is opened")
    {
        SysCallOverride open("OpenPrinterA", AsProc(RemovePrinterThenOpen));
        SpoolerSpy spy;
        std::string text = JobMessage(path, { PrintOk(1) });
        REQUIRE(RestoreSandboxPrinter());
        CHECK(text == "Open Printer Error\n" + SystemText(ERROR_INVALID_PRINTER_NAME));
        CHECK(spy.startDocs == 0);
    }
    SUBCASE("StartDocPrinter fails")
    {
        SysCallOverride fail("StartDocPrinterA", AsProc(FailStartDoc));
        CHECK(JobMessage(path, { PrintOk(1) }) == "StartDocPrinter Error\n" + SystemText(ERROR_ACCESS_DENIED));
    }
    SUBCASE("StartPagePrinter fails: the document is ended")
    {
        SpoolerSpy spy;
        SysCallOverride fail("StartPagePrinter", AsProc(FailStartPage));
        CHECK(JobMessage(path, { PrintOk(1) }) == "StartPagePrinter Error\n" + SystemText(ERROR_ACCESS_DENIED));
        CHECK(spy.endDocs == 1);
        CHECK(spy.endPages == 0);
    }
    SUBCASE("the dialog's blocks cannot be locked")
    {
        SpoolerSpy spy;
        SysCallOverride fail("GlobalLock", AsProc(FailLock));
        CHECK(JobMessage(path, { PrintOk(1) }) == "lpDevMode is NULL");
        CHECK(spy.startDocs == 0);
    }
}

TEST_CASE("failures while copying end the loop and abandon the document")
{
    std::string data = PatternBytes(3 * TRANSFER_BLOCK_SIZE, 12);
    std::string path = MakeScratchFile("midway.prn", data);
    g_calls = 0;
    g_failAt = 2;
    size_t before = SpoolJobs().size();
    SpoolerSpy spy;

    SUBCASE("WritePrinter fails on the second block")
    {
        SysCallOverride fail("WritePrinter", AsProc(FailSecondWrite));
        CHECK(JobMessage(path, { PrintOk(1) }) == "WritePrinter Error\n" + SystemText(ERROR_ACCESS_DENIED));
    }
    SUBCASE("reading fails on the second block")
    {
        SysCallOverride fail("ReadFile", AsProc(FailSecondRead));
        CHECK(JobMessage(path, { PrintOk(1) }) == "Reading inputfile Error\n" + SystemText(ERROR_ACCESS_DENIED));
    }
    CHECK(spy.aborts == 1);
    CHECK(spy.endPages == 0);
    CHECK(spy.endDocs == 0);
    LetAbandonedDocumentLand(before);
}

TEST_CASE("saving: a file that cannot be created, a full disk, a failed read")
{
    std::string data = PatternBytes(3 * TRANSFER_BLOCK_SIZE, 13);
    std::string path = MakeScratchFile("save-fail.prn", data);

    SUBCASE("the chosen file is held open by someone else")
    {
        std::string target = MakeScratchDir("busy") + "\\busy.cv";
        HANDLE holder = CreateFileA(target.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        REQUIRE(holder != INVALID_HANDLE_VALUE);
        /* The dialog asks before replacing the existing file. */
        std::string text = JobMessage(path, { PrintOk(1, true), SaveAs(target), Box(IDYES) });
        CloseHandle(holder);
        CHECK(text == "Unable to open file\n" + target + ": " + SystemText(ERROR_SHARING_VIOLATION));
    }
    SUBCASE("the disk is full")
    {
        /* The save dialog browses into a device instead of choosing it, so
           the step after the dialog is run with the path. */
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        REQUIRE(file != INVALID_HANDLE_VALUE);
        DialogAnswerer answerer({ Box(IDOK) });
        WriteSourceToFile(file, NULL, 2, "Z:\\dev\\full");
        CloseHandle(file);
        CHECK(answerer.MessageTexts() ==
              std::vector<std::string>{ "Writing to disk Error\nZ:\\dev\\full: " + SystemText(ERROR_DISK_FULL) });
    }
    SUBCASE("reading fails on the second block: the partial file is removed")
    {
        std::string target = MakeScratchDir("partial") + "\\partial.cv";
        g_calls = 0;
        g_failAt = 2;
        SysCallOverride fail("ReadFile", AsProc(FailSecondRead));
        std::string text = JobMessage(path, { PrintOk(1, true), SaveAs(target) });
        CHECK(text == "Reading inputfile Error\n" + target + ": " + SystemText(ERROR_ACCESS_DENIED));
        CHECK_FALSE(FileExists(target));
    }
}

TEST_CASE("a source name of several thousand characters is reported without overflow")
{
    std::string longName = "C:\\" + std::string(6000, 'n') + ".prn";
    DialogAnswerer answerer({ Box(IDOK) });
    RunOutputJob(longName.c_str(), TRUE, FALSE);
    std::vector<std::string> texts = answerer.MessageTexts();
    REQUIRE(texts.size() == 1);
    CHECK(FirstLine(texts[0]) == "Unable to open file");
    CHECK(texts[0].find(std::string(500, 'n')) != std::string::npos);
}

/* A printer whose name reads as the sandbox printer's once converted to
   ANSI with best-fit characters. */
static const wchar_t kLookAlikePrinter[] = L"Corvala \u015Candbox";

static bool AddLookAlikePrinter()
{
    PRINTER_INFO_2W info = {};
    info.pPrinterName = (LPWSTR)kLookAlikePrinter;
    info.pPortName = (LPWSTR)L"LPT1:";
    info.pDriverName = (LPWSTR)L"Wine PostScript Driver";
    info.pPrintProcessor = (LPWSTR)L"winprint";
    info.pDatatype = (LPWSTR)L"RAW";
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE printer = AddPrinterW(NULL, 2, (BYTE *)&info);
    if (printer != NULL)
        ClosePrinter(printer);
    return printer != NULL;
}

static void RemoveLookAlikePrinter()
{
    HANDLE printer = NULL;
    PRINTER_DEFAULTSW access = { NULL, NULL, PRINTER_ALL_ACCESS };
    if (OpenPrinterW((LPWSTR)kLookAlikePrinter, &printer, &access)) {
        DeletePrinter(printer);
        ClosePrinter(printer);
    }
}

TEST_CASE("names outside the ANSI code page are refused, never taken for a look-alike")
{
    std::string data = PatternBytes(5000, 14);
    std::string dir = MakeScratchDir("lookalike");
    std::string spool = dir + "\\Spool.cv"; /* the look-alikes of U+015C names */
    std::string save = dir + "\\Save.cv";
    REQUIRE(WriteBytes(spool, data));
    REQUIRE(WriteBytes(save, "keep"));
    const std::string refusal = ": " + SystemText(ERROR_NO_UNICODE_TRANSLATION);
    char bestFit[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, L"\u015C", -1, bestFit, sizeof(bestFit), NULL, NULL);
    size_t before = SpoolJobs().size();

    SUBCASE("the source argument: nothing printed or deleted")
    {
        DialogAnswerer answerer({ Box(IDOK) });
        CHECK(RunViewerArgs({ "-u", "-d", dir + "\\\xC5\x9Cpool.cv" }) == VIEWER_EXIT_OK);
        CHECK(answerer.MessageTexts() ==
              std::vector<std::string>{ "Unable to open file\n" + dir + "\\" + bestFit + "pool.cv" + refusal });
        CHECK(ReadBytes(spool) == data);
    }
    SUBCASE("the save dialog's name: no file written")
    {
        std::string text = JobMessage(spool, { PrintOk(1, true), SaveAs(dir + "\\\xC5\x9C" "ave.cv") });
        CHECK(text == "Unable to open file\n" + dir + "\\" + bestFit + "ave.cv" + refusal);
        CHECK(ReadBytes(save) == "keep");
    }
    SUBCASE("the chosen printer has a look-alike")
    {
        REQUIRE(AddLookAlikePrinter());
        DialogAnswerer answerer({ Box(IDOK) });
        RunOutputJob(spool.c_str(), TRUE, FALSE);
        RemoveLookAlikePrinter();
        CHECK(answerer.MessageTexts() == std::vector<std::string>{ "Open Printer Error\n" + SystemText(ERROR_NO_UNICODE_TRANSLATION) });
    }
    CHECK(NewSpoolJobs(before, 0).empty());
}
