/* The control's whole road with the real viewer: a container of the page's
   kind (control-demo-host) activates the registered control in run mode,
   the job downloads the page's file from the loopback server, the viewer
   prints it to the sandbox printer once its print dialog is answered from
   this process, and deletes the downloaded file. */
#include "doctest_config.h"
#include "dialogs.h"
#include "testbed.h"

using namespace testbed;

TEST_CASE("run-mode activation prints the page's file through the real viewer, which deletes it")
{
    std::string sample = ReadBytes(WinePath(CORV_SAMPLE_PATH));
    REQUIRE(sample.size() > 0);
    std::string name = "end-to-end-" + std::to_string(GetCurrentProcessId()) + ".txt";
    std::string url = PublishFile(name, sample);
    std::string viewer = WinePath(CORV_VIEWER_EXE);
    REQUIRE(SetViewerAppPaths(viewer, viewer.substr(0, viewer.rfind('\\'))));
    size_t jobsBefore = SpoolJobs().size();
    int tempBefore = CountTempFiles("CVT");

    /* Every other test that shows dialogs holds the spooler or App Paths
       lock: the viewer's print dialog is the only one in the prefix. */
    DialogAnswerer answerer({ PrintOk() }, true);
    std::string host = "\"" + WinePath(CORV_DEMO_HOST) + "\" \"" + WinePath(AX_LIBRARY_PATH) + "\" \"" + url + "\"";
    CHECK(RunProcess("", host, 180000) == 0);
    CHECK(answerer.ScriptDone());
    std::vector<std::string> printed = NewSpoolJobs(jobsBefore, 1);
    REQUIRE(printed.size() == 1);
    CHECK(ReadBytes(printed[0]) == sample);
    CHECK(CountTempFiles("CVT") == tempBefore);
    CHECK(HttpRequestCount("/files/" + name) == 1);
    DeleteViewerAppPaths();
}

TEST_CASE("the browser closes during a transfer: the unfinished job's file goes with the library")
{
    std::string url = PublishFile("closing.prn", PatternBytes(20000, 5));
    int tempBefore = CountTempFiles("CVT");
    std::string host = "\"" + WinePath(CORV_DEMO_HOST) + "\" \"" + WinePath(AX_LIBRARY_PATH) + "\" \"" +
                       HttpBase() + "/stall/closing.prn?after=1000&for=20\" close-during-transfer";
    CHECK(RunProcess("", host, 60000) == 0);
    CHECK(CountTempFiles("CVT") == tempBefore);
}
