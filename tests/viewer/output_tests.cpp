/* What reaches the printer or the file: one document, one page, the data
   once per copy, in blocks, byte for byte. */
#include "doctest_config.h"
#include "dialogs.h"
#include "faults.h"
#include "testbed.h"
#include "viewer_test_util.h"

#include <commdlg.h>

using namespace testbed;
using namespace viewertest;

TEST_CASE("copies chosen in the dialog make one document with one page holding the data that many times")
{
    std::string data = PatternBytes(10000, 3);
    std::string path = MakeScratchFile("copies.prn", data);

    SUBCASE("the driver makes copies: the count arrives in dmCopies") {}
    SUBCASE("the driver cannot: the count arrives in nCopies")
    {
        SetSysCall("PrintDlgA", AsProc(PrintDlgCopiesInNCopies));
    }
    size_t before = SpoolJobs().size();
    {
        SpoolerSpy spy;
        DialogAnswerer answerer({ PrintOk(3) });
        RunOutputJob(path.c_str(), FALSE, FALSE);
        CHECK(answerer.ScriptDone());
        CHECK(spy.startDocs == 1);
        CHECK(spy.startPages == 1);
        CHECK(spy.endPages == 1);
        CHECK(spy.endDocs == 1);
        CHECK(spy.docName == "Corvala/400 Report");
        CHECK(spy.dataType == "RAW");
        for (DWORD size : spy.writeSizes)
            CHECK(size <= TRANSFER_BLOCK_SIZE);
    }
    SetSysCall("PrintDlgA", NULL);
    std::vector<std::string> jobs = NewSpoolJobs(before, 1);
    REQUIRE(jobs.size() == 1);
    CHECK(ReadBytes(jobs[0]) == Repeated(data, 3));
}

TEST_CASE("-u prints to the default printer with its stored copies and shows no dialog")
{
    std::string data = PatternBytes(5000, 4);
    std::string path = MakeScratchFile("default.prn", data);
    REQUIRE(SetPrinterDefaultCopies(2));
    size_t before = SpoolJobs().size();
    DialogAnswerer answerer({});
    RunOutputJob(path.c_str(), TRUE, FALSE);
    CHECK(answerer.Seen().empty());
    SetPrinterDefaultCopies(1);
    std::vector<std::string> jobs = NewSpoolJobs(before, 1);
    REQUIRE(jobs.size() == 1);
    CHECK(ReadBytes(jobs[0]) == Repeated(data, 2));
}

TEST_CASE("print to file writes the data once per copy and nothing else")
{
    std::string data = PatternBytes(9000, 5);
    std::string path = MakeScratchFile("tofile.prn", data);
    std::string dir = MakeScratchDir("saved");
    size_t before = SpoolJobs().size();

    for (int copies = 1; copies <= 2; copies++) {
        CAPTURE(copies);
        std::string target = dir + "\\copy" + std::to_string(copies) + ".cv";
        DialogAnswerer answerer({ PrintOk(copies, true), SaveAs(target) });
        RunOutputJob(path.c_str(), FALSE, FALSE);
        CHECK(answerer.ScriptDone());
        REQUIRE(answerer.Seen().size() == 2);
        CHECK(answerer.Seen()[1].title == "Save AS400 Spool File to disk");
        CHECK(answerer.Seen()[1].owner == NULL);
        CHECK(ReadBytes(target) == Repeated(data, copies));
    }
    CHECK(NewSpoolJobs(before, 0).empty());
}

TEST_CASE("empty and one-block sources never issue an empty write")
{
    SUBCASE("0 bytes: an empty document")
    {
        std::string path = MakeScratchFile("empty.prn", "");
        SpoolerSpy spy;
        DialogAnswerer answerer({ PrintOk(2) });
        RunOutputJob(path.c_str(), FALSE, FALSE);
        CHECK(answerer.ScriptDone());
        CHECK(answerer.MessageTexts().empty());
        CHECK(spy.startDocs == 1);
        CHECK(spy.endDocs == 1);
        CHECK(spy.writeSizes.empty());
    }
    SUBCASE("exactly one block: one write per copy")
    {
        std::string data = PatternBytes(TRANSFER_BLOCK_SIZE, 6);
        std::string path = MakeScratchFile("block.prn", data);
        size_t before = SpoolJobs().size();
        {
            SpoolerSpy spy;
            DialogAnswerer answerer({ PrintOk(2) });
            RunOutputJob(path.c_str(), FALSE, FALSE);
            CHECK(spy.writeSizes == std::vector<DWORD>{ TRANSFER_BLOCK_SIZE, TRANSFER_BLOCK_SIZE });
        }
        std::vector<std::string> jobs = NewSpoolJobs(before, 1);
        REQUIRE(jobs.size() == 1);
        CHECK(ReadBytes(jobs[0]) == Repeated(data, 2));
    }
    SUBCASE("0 bytes saved: an empty file")
    {
        std::string path = MakeScratchFile("empty2.prn", "");
        std::string target = MakeScratchDir("empty-save") + "\\empty.cv";
        DialogAnswerer answerer({ PrintOk(1, true), SaveAs(target) });
        RunOutputJob(path.c_str(), FALSE, FALSE);
        CHECK(answerer.ScriptDone());
        CHECK(FileExists(target));
        CHECK(ReadBytes(target).empty());
    }
}

TEST_CASE("a large file reaches the printer and a file byte for byte")
{
    std::string data = PatternBytes(12 * 1024 * 1024 + 123, 8);
    std::string path = MakeScratchFile("large.prn", data);
    size_t before = SpoolJobs().size();
    {
        DialogAnswerer answerer({ PrintOk(1) });
        RunOutputJob(path.c_str(), FALSE, FALSE);
        CHECK(answerer.ScriptDone());
    }
    std::vector<std::string> jobs = NewSpoolJobs(before, 1);
    REQUIRE(jobs.size() == 1);
    CHECK(ReadBytes(jobs[0]) == data);

    std::string target = MakeScratchDir("large-save") + "\\large.cv";
    DialogAnswerer answerer({ PrintOk(2, true), SaveAs(target) });
    RunOutputJob(path.c_str(), FALSE, FALSE);
    CHECK(answerer.ScriptDone());
    CHECK(ReadBytes(target) == Repeated(data, 2));
}

TEST_CASE("cancelled dialogs end the job without a message and write nothing")
{
    std::string path = MakeScratchFile("cancel.prn", PatternBytes(3000, 9));
    size_t before = SpoolJobs().size();
    {
        SpoolerSpy spy;
        DialogAnswerer answerer({ PrintCancel() });
        RunOutputJob(path.c_str(), FALSE, FALSE);
        CHECK(answerer.ScriptDone());
        CHECK(answerer.MessageTexts().empty());
        CHECK(spy.startDocs == 0);
    }
    {
        std::string dir = MakeScratchDir("save-cancel");
        SpoolerSpy spy;
        DialogAnswerer answerer({ PrintOk(1, true), SaveCancel() });
        RunOutputJob(path.c_str(), FALSE, FALSE);
        CHECK(answerer.ScriptDone());
        CHECK(answerer.MessageTexts().empty());
        CHECK(spy.startDocs == 0);
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((dir + "\\*.cv").c_str(), &found);
        CHECK(search == INVALID_HANDLE_VALUE);
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    }
    CHECK(NewSpoolJobs(before, 0).empty());
    CHECK(FileExists(path));
}
