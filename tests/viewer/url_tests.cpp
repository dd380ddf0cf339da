/* URL sources: fetched once whatever the copies, error statuses and broken
   transfers reported, never printed as data. */
#include "doctest_config.h"
#include "dialogs.h"
#include "faults.h"
#include "testbed.h"
#include "url_open.h"
#include "viewer_test_util.h"

using namespace testbed;
using namespace viewertest;

TEST_CASE("a URL prints once per copy from a single fetch, and the kept copy is deleted")
{
    std::string data = PatternBytes(50000, 21);
    std::string url = PublishFile("three-copies.prn", data);
    int tempsBefore = CountTempFiles("CVV");
    size_t before = SpoolJobs().size();
    {
        SpoolerSpy spy;
        DialogAnswerer answerer({ PrintOk(3) });
        RunOutputJob(url.c_str(), FALSE, TRUE);
        CHECK(answerer.ScriptDone());
        CHECK(spy.startDocs == 1);
        CHECK(spy.startPages == 1);
    }
    std::vector<std::string> jobs = NewSpoolJobs(before, 1);
    REQUIRE(jobs.size() == 1);
    CHECK(ReadBytes(jobs[0]) == Repeated(data, 3));
    CHECK(HttpRequestCount("/files/three-copies.prn") == 1);
    CHECK(CountTempFiles("CVV") == tempsBefore);
}

TEST_CASE("a URL saved to a file with one and two copies")
{
    std::string data = PatternBytes(20000, 22);
    std::string dir = MakeScratchDir("url-save");
    for (int copies = 1; copies <= 2; copies++) {
        CAPTURE(copies);
        std::string name = "saved-" + std::to_string(copies) + ".prn";
        std::string url = PublishFile(name, data);
        std::string target = dir + "\\url" + std::to_string(copies) + ".cv";
        DialogAnswerer answerer({ PrintOk(copies, true), SaveAs(target) });
        RunOutputJob(url.c_str(), FALSE, TRUE);
        CHECK(answerer.ScriptDone());
        CHECK(ReadBytes(target) == Repeated(data, copies));
        CHECK(HttpRequestCount("/files/" + name) == 1);
    }
}

TEST_CASE("an HTTP error status is reported with the status and nothing is printed or saved")
{
    std::string url = HttpBase() + "/status/404";
    size_t before = SpoolJobs().size();
    SUBCASE("printing")
    {
        SpoolerSpy spy;
        DialogAnswerer answerer({ PrintOk(1), Box(IDOK) });
        RunOutputJob(url.c_str(), FALSE, TRUE);
        CHECK(answerer.ScriptDone());
        CHECK(answerer.MessageTexts() == std::vector<std::string>{ "Unable to open file\n" + url + ": 404 Not Found" });
        CHECK(spy.startDocs == 0);
    }
    SUBCASE("saving: no save dialog, no file")
    {
        std::string url500 = HttpBase() + "/status/500";
        DialogAnswerer answerer({ PrintOk(1, true), Box(IDOK) });
        RunOutputJob(url500.c_str(), FALSE, TRUE);
        CHECK(answerer.ScriptDone());
        CHECK(answerer.MessageTexts() ==
              std::vector<std::string>{ "Unable to open file\n" + url500 + ": 500 Internal Server Error" });
    }
    CHECK(NewSpoolJobs(before, 0).empty());
}

TEST_CASE("a server that cannot be reached is reported with the URL")
{
    /* Port 1 on the loopback: nothing listens there. */
    std::string url = "http://127.0.0.1:1/files/x.prn";
    SpoolerSpy spy;
    DialogAnswerer answerer({ Box(IDOK) });
    RunOutputJob(url.c_str(), TRUE, TRUE);
    std::vector<std::string> texts = answerer.MessageTexts();
    REQUIRE(texts.size() == 1);
    CHECK(texts[0].rfind("Unable to open file\n" + url + ": ", 0) == 0);
    CHECK(texts[0].size() > ("Unable to open file\n" + url + ": ").size());
    CHECK(spy.startDocs == 0);
}

TEST_CASE("a connection dropped mid-body is a read error, and nothing is printed or kept")
{
    std::string data = PatternBytes(40000, 23);
    PublishFile("dropped.prn", data);
    std::string url = HttpBase() + "/drop/dropped.prn?after=10000";
    size_t before = SpoolJobs().size();

    SUBCASE("one copy to the printer: the document is abandoned")
    {
        SpoolerSpy spy;
        DialogAnswerer answerer({ PrintOk(1), Box(IDOK) });
        RunOutputJob(url.c_str(), FALSE, TRUE);
        CHECK(answerer.ScriptDone());
        REQUIRE(answerer.MessageTexts().size() == 1);
        CHECK(FirstLine(answerer.MessageTexts()[0]) == "Reading inputfile Error");
        CHECK(spy.aborts == 1);
        CHECK(spy.endDocs == 0);
        LetAbandonedDocumentLand(before);
    }
    SUBCASE("two copies saved: the subject is the file written, which is removed")
    {
        std::string target = MakeScratchDir("dropped") + "\\dropped.cv";
        DialogAnswerer answerer({ PrintOk(2, true), SaveAs(target), Box(IDOK) });
        RunOutputJob(url.c_str(), FALSE, TRUE);
        CHECK(answerer.ScriptDone());
        REQUIRE(answerer.MessageTexts().size() == 1);
        CHECK(answerer.MessageTexts()[0].rfind("Reading inputfile Error\n" + target + ": ", 0) == 0);
        CHECK_FALSE(FileExists(target));
        CHECK(NewSpoolJobs(before, 0).empty());
    }
}

TEST_CASE("a URL of several thousand characters is handled without overflow")
{
    std::string url = HttpBase() + "/files/" + std::string(5000, 'u') + ".prn";
    DialogAnswerer answerer({ Box(IDOK) });
    RunOutputJob(url.c_str(), TRUE, TRUE);
    std::vector<std::string> texts = answerer.MessageTexts();
    REQUIRE(texts.size() == 1);
    CHECK(FirstLine(texts[0]) == "Unable to open file");
}

/* The program waits a minute for a byte; the tests shorten that to two
   seconds by passing every timeout on as 2000 ms. */
static BOOL WINAPI ShortTimeouts(HINTERNET handle, DWORD option, LPVOID, DWORD)
{
    DWORD shortened = 2000;
    return InternetSetOptionA(handle, option, &shortened, sizeof(shortened));
}

TEST_CASE("a server that stops answering ends the transfer as a failure after the timeout")
{
    PublishFile("stalled.prn", PatternBytes(30000, 24));
    struct Case {
        const char *path;
        const char *message;
    } cases[] = {
        { "/silent?for=120", "Unable to open file" },
        { "/stall/stalled.prn?after=10000&for=120", "Reading inputfile Error" },
    };
    SysCallOverride timeouts("InternetSetOptionA", AsProc(ShortTimeouts));
    for (const Case &c : cases) {
        std::string url = HttpBase() + c.path;
        CAPTURE(url);
        size_t before = SpoolJobs().size();
        SpoolerSpy spy;
        DialogAnswerer answerer({ PrintOk(1), Box(IDOK) });
        RunOutputJob(url.c_str(), FALSE, TRUE);
        CHECK(answerer.ScriptDone());
        REQUIRE(answerer.MessageTexts().size() == 1);
        CHECK(FirstLine(answerer.MessageTexts()[0]) == c.message);
        CHECK(spy.endDocs == 0);
        if (spy.aborts > 0)
            LetAbandonedDocumentLand(before);
    }
}

TEST_CASE("only a whole 2xx answer is data: statuses, redirects and chunked bodies")
{
    std::string data = PatternBytes(30000, 25);
    PublishFile("answer.prn", data);
    auto RefusedText = [](const std::string &path) {
        return "Unable to open file\n" + HttpBase() + path + ": FILE ERR 2f7c";
    };
    const std::string loopText = RefusedText("/loop");
    struct Case {
        std::string path;
        int copies;
        std::string message; /* empty: printed */
    } cases[] = {
        { "/redirect/3/answer.prn", 1, "" },
        { "/redirect/10/answer.prn", 2, "" },
        { "/chunked/answer.prn?length=100000", 1, "" }, /* a stale length beside chunks */
        { "/chunked/answer.prn?length=10", 2, "" },
        { "/status/302", 1, "Unable to open file\n" + HttpBase() + "/status/302: 302 Found" },
        { "/status/304", 1, "Unable to open file\n" + HttpBase() + "/status/304: 304 Not Modified" },
        { "/redirect/11/answer.prn", 1, "Unable to open file\n" + HttpBase() + "/redirect/11/answer.prn: FILE ERR 2f7c" },
        { "/loop", 1, loopText },
        { "/away?to=file:///c:/windows/win.ini", 1, RefusedText("/away?to=file:///c:/windows/win.ini") },
        { "/away?to=ftp://127.0.0.1/answer.prn", 1, RefusedText("/away?to=ftp://127.0.0.1/answer.prn") },
    };
    for (const Case &c : cases) {
        CAPTURE(c.path);
        std::string url = HttpBase() + c.path;
        size_t before = SpoolJobs().size();
        std::vector<DialogStep> script{ PrintOk(c.copies) };
        if (!c.message.empty())
            script.push_back(Box(IDOK));
        DialogAnswerer answerer(script);
        RunOutputJob(url.c_str(), FALSE, TRUE);
        CHECK(answerer.ScriptDone());
        if (c.message.empty()) {
            std::vector<std::string> jobs = NewSpoolJobs(before, 1);
            REQUIRE(jobs.size() == 1);
            CHECK(ReadBytes(jobs[0]) == Repeated(data, c.copies));
        } else {
            CHECK(answerer.MessageTexts() == std::vector<std::string>{ c.message });
            CHECK(NewSpoolJobs(before, 0).empty());
        }
    }
    CHECK(HttpRequestCount("/loop") == MAX_REDIRECTS + 1);
}
