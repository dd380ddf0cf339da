/* The outcome report (-o) after each way a job can end, and printing to a
   named printer without a dialog (-p). */
#include "doctest_config.h"
#include "dialogs.h"
#include "faults.h"
#include "testbed.h"
#include "viewer_test_util.h"

using namespace testbed;
using namespace viewertest;

static DWORD WINAPI FailStartDoc(HANDLE, DWORD, LPBYTE)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}

TEST_CASE("the report tells how the job ended; -p prints without a dialog")
{
    std::string data = PatternBytes(7000, 21);
    std::string source = MakeScratchFile("outcome.prn", data);
    std::string dir = MakeScratchDir("outcome");
    std::string saved = dir + "\\saved.cv";
    std::string report = dir + "\\report.txt";
    const struct {
        const char *what;
        std::vector<std::string> options;
        std::vector<DialogStep> script;
        bool failStartDoc;
        short defaultCopies; /* the printer's stored settings during the run */
        std::string expected;
        int printed; /* copies in the one new document; -1: no document */
    } cases[] = {
        { "printed", {}, { PrintOk(2) }, false, 1, "printed 2\r\n", 2 },
        { "saved", {}, { PrintOk(1, true), SaveAs(saved) }, false, 1, "saved\r\n", -1 },
        { "print dialog cancelled", {}, { PrintCancel() }, false, 1, "cancelled\r\n", -1 },
        { "save dialog cancelled", {}, { PrintOk(1, true), SaveCancel() }, false, 1, "cancelled\r\n", -1 },
        { "printer error", {}, { PrintOk(1), Box(IDOK) }, true, 1,
          "failed\r\nStartDocPrinter Error\n" + SystemText(ERROR_ACCESS_DENIED), -1 },
        { "-p", { "-p", PrinterName() }, {}, false, 2, "printed 2\r\n", 2 },
        { "-p wins over -u", { "-u", "-p", "No Such Printer" }, { Box(IDOK) }, false, 1,
          "failed\r\nOpen Printer Error\n" + SystemText(ERROR_INVALID_PRINTER_NAME), -1 },
        { "-p with an empty name", { "-p", "" }, { Box(IDOK) }, false, 1,
          "failed\r\nOpen Printer Error\n" + SystemText(ERROR_INVALID_PRINTER_NAME), -1 },
    };
    for (const auto &c : cases) {
        std::string what = c.what;
        CAPTURE(what);
        REQUIRE(WriteBytes(report, std::string(300, 'x'))); /* longer than any report */
        REQUIRE(SetPrinterDefaultCopies(c.defaultCopies));
        std::vector<std::string> args = c.options;
        args.insert(args.end(), { "-o", report, source });
        size_t before = SpoolJobs().size();
        {
            SysCallOverride fault("StartDocPrinterA", c.failStartDoc ? AsProc(FailStartDoc) : NULL);
            DialogAnswerer answerer(c.script);
            CHECK(RunViewerArgs(args) == VIEWER_EXIT_OK);
            CHECK(answerer.ScriptDone());
        }
        SetPrinterDefaultCopies(1);
        CHECK(ReadBytes(report) == c.expected);
        std::vector<std::string> jobs = NewSpoolJobs(before, c.printed < 0 ? 0 : 1);
        REQUIRE(jobs.size() == (c.printed < 0 ? 0u : 1u));
        if (c.printed > 0)
            CHECK(ReadBytes(jobs[0]) == Repeated(data, c.printed));
    }
    CHECK(ReadBytes(saved) == data);
}

TEST_CASE("the report without a source, with -d, and report files that are not there")
{
    std::string dir = MakeScratchDir("outcome-edges");
    std::string report = dir + "\\report.txt";
    REQUIRE(WriteBytes(report, ""));
    {
        DialogAnswerer answerer({ Box(IDOK) });
        CHECK(RunViewerArgs({ "-o", report, "-u" }) == VIEWER_EXIT_NO_SOURCE);
        CHECK(answerer.MessageTexts() == std::vector<std::string>{ "No filename provided." });
    }
    CHECK(ReadBytes(report) == "failed\r\nNo filename provided.");

    std::string source = MakeScratchFile("deleted.prn", "data");
    std::string absent = dir + "\\absent.txt";
    std::string other = dir + "\\Sreport.txt"; /* what a U+015C name reads as in ANSI */
    REQUIRE(WriteBytes(other, "keep"));
    size_t before = SpoolJobs().size();
    CHECK(RunViewerArgs({ "-d", "-u", "-o", report, source }) == VIEWER_EXIT_OK);
    CHECK(RunViewerArgs({ "-u", "-o", absent, MakeScratchFile("again.prn", "data") }) == VIEWER_EXIT_OK);
    CHECK(RunViewerArgs({ "-u", "-o", dir + "\\\xC5\x9Creport.txt", MakeScratchFile("third.prn", "data") }) ==
          VIEWER_EXIT_OK);
    CHECK(ReadBytes(report) == "printed 1\r\n");
    CHECK_FALSE(FileExists(source));
    CHECK_FALSE(FileExists(absent));
    CHECK(ReadBytes(other) == "keep");
    CHECK(NewSpoolJobs(before, 3).size() == 3);
}
