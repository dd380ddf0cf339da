/* Streams through NPcvw32.dll loaded as a browser loads it: the real print
   and save dialogs (answered by the test bed), the real spooler with the
   sandbox printer, and the stand-in browser's counting memory. */
#include "doctest_config.h"
#include "dialogs.h"
#include "plugin_testing.h"
#include "testbed.h"

using namespace nphost;
using namespace testbed;

namespace {

const char kNoMemory[] = "Insufficient memory";

/* A started plug-in with one instance that has its window. */
struct Browser {
    PluginHost host;
    HostInstance *instance;
    Browser() : instance(nullptr)
    {
        REQUIRE(host.Load(PluginLibraryPath()));
        REQUIRE(host.Start() == NPERR_NO_ERROR);
        instance = new HostInstance(host);
        REQUIRE(instance->New() == NPERR_NO_ERROR);
        REQUIRE(instance->SetWindow() == NPERR_NO_ERROR);
        ResetMemoryCounters();
    }
    ~Browser() { delete instance; }
};

/* What the answerer saw, for the report of a failed check. */
std::string Describe(DialogAnswerer &answerer)
{
    std::string text;
    for (const SeenDialog &seen : answerer.Seen())
        text += std::to_string((int)seen.kind) + (seen.expected ? " " : " (unexpected) ") + seen.title + ": " +
                seen.text + "\n";
    return text;
}

/* Only the instance record is left once a stream has ended. */
void CheckOnlyInstanceLeft()
{
    CHECK(Memory().liveBlocks == 1);
    CHECK(Memory().badFrees == 0);
}

/* Opens and ends a stream without data; what the document should hold. */
std::string EmptyStream(Browser &browser, int copies)
{
    DialogAnswerer answerer({ PrintOk(copies) });
    HostStream stream(*browser.instance, "http://server/empty.cvep", 0);
    REQUIRE(stream.Open() == NPERR_NO_ERROR);
    CHECK(stream.End(NPRES_DONE) == NPERR_NO_ERROR);
    INFO(Describe(answerer));
        CHECK(answerer.ScriptDone());
    return "";
}

} // namespace

TEST_CASE("one copy passes straight through to one document")
{
    Browser browser;
    std::string data = PatternBytes(1 << 20, 3);
    size_t before = SpoolJobs().size();
    DialogAnswerer answerer({ PrintOk(1) });
    HostStream stream(*browser.instance, "http://server/report.cvep", (uint32_t)data.size());
    REQUIRE(stream.Open() == NPERR_NO_ERROR);
    CHECK(stream.Raw().pdata != nullptr);
    CHECK(stream.StreamType() == NP_NORMAL);
    CHECK(stream.Feed(data, 65536));
    /* Nothing is held back: memory stays at the job record. */
    CHECK(Memory().peakBytes < 4096);
    CHECK(stream.End(NPRES_DONE) == NPERR_NO_ERROR);
    CHECK(stream.Raw().pdata == nullptr);
    CheckOnlyInstanceLeft();

    REQUIRE(answerer.Seen().size() == 1);
    CHECK(answerer.Seen()[0].kind == DialogKind::PrintDialog);
    CHECK(answerer.Seen()[0].owner == browser.instance->Window());
    std::vector<std::string> documents = PrintedSince(before, 1);
    REQUIRE(documents.size() == 1);
    CHECK(documents[0] == data);
}

TEST_CASE("copies are collected and written at the end into one document")
{
    Browser browser;
    std::string data = PatternBytes(300001, 5);
    size_t before = SpoolJobs().size();

    SUBCASE("three copies as the print dialog reports them")
    {
        DialogAnswerer answerer({ PrintOk(3) });
        HostStream stream(*browser.instance, "http://server/a.cvep", (uint32_t)data.size());
        REQUIRE(stream.Open() == NPERR_NO_ERROR);
        CHECK(stream.Feed(data, 7000));
        /* Nothing reaches the spooler before the stream ends. */
        CHECK(SpoolJobs().size() == before);
        CHECK(stream.End(NPRES_DONE) == NPERR_NO_ERROR);
        INFO(Describe(answerer));
        CHECK(answerer.ScriptDone());
        std::vector<std::string> documents = PrintedSince(before, 1);
        REQUIRE(documents.size() == 1);
        CHECK(documents[0] == Repeated(data, 3));
    }
    SUBCASE("two copies into a file")
    {
        std::string path = MakeScratchDir("plugin-file") + "\\copies.cv";
        DeleteFileA(path.c_str()); /* left by an earlier run */
        DialogAnswerer answerer({ PrintOk(2, true), SaveAs(path) });
        HostStream stream(*browser.instance, "http://server/b.cvep", (uint32_t)data.size());
        REQUIRE(stream.Open() == NPERR_NO_ERROR);
        CHECK(stream.Feed(data, 65536));
        CHECK(stream.End(NPRES_DONE) == NPERR_NO_ERROR);
        INFO(Describe(answerer));
        REQUIRE(answerer.ScriptDone());
        CHECK(answerer.Seen()[1].title == "Save AS400 Spool File to disk");
        CHECK(answerer.Seen()[1].owner == browser.instance->Window());
        CHECK(ReadBytes(path) == Repeated(data, 2));
        CHECK(PrintedSince(before, 0).empty());
    }
    /* Whatever the growth of the buffer, every block was freed. */
    CheckOnlyInstanceLeft();
}

TEST_CASE("an interrupted stream leaves no file behind, one copy or several")
{
    Browser browser;
    size_t before = SpoolJobs().size();
    std::string part = PatternBytes(150000, 9);
    std::string dir = MakeScratchDir("plugin-interrupted");
    const struct {
        int copies;
        bool toFile;
        NPReason reason;
    } cases[] = {
        { 1, true, NPRES_NETWORK_ERR },
        { 2, true, NPRES_USER_BREAK },
    };
    for (const auto &c : cases) {
        CAPTURE(c.copies);
        CAPTURE(c.toFile);
        std::string target = dir + "\\cut" + std::to_string(&c - cases) + ".cv";
        std::vector<DialogStep> script{ PrintOk(c.copies, c.toFile) };
        if (c.toFile)
            script.push_back(SaveAs(target));
        DialogAnswerer answerer(script);
        HostStream stream(*browser.instance, "http://server/c.cvep", 1000000);
        REQUIRE(stream.Open() == NPERR_NO_ERROR);
        CHECK(stream.Feed(part, 65536));
        CHECK(stream.End(c.reason) == NPERR_NO_ERROR);
        INFO(Describe(answerer));
        CHECK(answerer.ScriptDone());
        CHECK(answerer.MessageTexts().empty());
        CHECK_FALSE(FileExists(target));
    }
    CHECK(PrintedSince(before, 0).empty());
    CheckOnlyInstanceLeft();
}

TEST_CASE("empty streams still end their document")
{
    Browser browser;
    size_t before = SpoolJobs().size();
    std::string expected;
    SUBCASE("a stream of no bytes, one copy")
    {
        expected = EmptyStream(browser, 1);
    }
    SUBCASE("a stream of no bytes, two copies")
    {
        expected = EmptyStream(browser, 2);
    }
    std::vector<std::string> documents = PrintedSince(before, 1);
    REQUIRE(documents.size() == 1);
    CHECK(documents[0] == expected);
    CheckOnlyInstanceLeft();
}

TEST_CASE("cancelled dialogs end the stream quietly")
{
    Browser browser;
    size_t before = SpoolJobs().size();
    std::string dir = MakeScratchDir("plugin-cancel");

    SUBCASE("the print dialog")
    {
        DialogAnswerer answerer({ PrintCancel() });
        HostStream stream(*browser.instance, "http://server/e.cvep", 10);
        CHECK(stream.Open() == NPERR_GENERIC_ERROR);
        INFO(Describe(answerer));
        CHECK(answerer.ScriptDone());
        CHECK(answerer.MessageTexts().empty());
        CHECK(stream.Raw().pdata == nullptr);
    }
    SUBCASE("the save dialog")
    {
        DialogAnswerer answerer({ PrintOk(2, true), SaveCancel() });
        HostStream stream(*browser.instance, "http://server/f.cvep", 10);
        CHECK(stream.Open() == NPERR_GENERIC_ERROR);
        INFO(Describe(answerer));
        CHECK(answerer.ScriptDone());
        CHECK(answerer.MessageTexts().empty());
        CHECK(stream.Raw().pdata == nullptr);
        /* A second end, as after the failure exit, finds no job. */
        CHECK(stream.End(NPRES_USER_BREAK) == NPERR_NO_ERROR);
    }
    CHECK(PrintedSince(before, 0).empty());
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*.cv").c_str(), &found);
    CHECK(search == INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    CheckOnlyInstanceLeft();
}

TEST_CASE("the browser's memory runs out")
{
    Browser browser;
    size_t before = SpoolJobs().size();

    SUBCASE("for the job: one unowned message, nothing printed")
    {
        DialogAnswerer answerer({ PrintOk(1), Box(IDOK) });
        HostStream stream(*browser.instance, "http://server/g.cvep", 10);
        FailAllocations(0, 1);
        CHECK(stream.Open() == NPERR_OUT_OF_MEMORY_ERROR);
        AllowAllocations();
        INFO(Describe(answerer));
        REQUIRE(answerer.ScriptDone());
        CHECK(answerer.Seen()[1].text == kNoMemory);
        CHECK(answerer.Seen()[1].title == "Corvala/400");
        CHECK(answerer.Seen()[1].owner == NULL);
        CHECK(stream.Raw().pdata == nullptr);
        CHECK(PrintedSince(before, 0).empty());
    }
    SUBCASE("for the collected copies: the block is refused and the document abandoned")
    {
        std::string first = PatternBytes(100000, 11);
        DialogAnswerer answerer({ PrintOk(2), Box(IDOK) });
        HostStream stream(*browser.instance, "http://server/h.cvep", 300000);
        REQUIRE(stream.Open() == NPERR_NO_ERROR);
        CHECK(stream.Feed(first, 50000));
        FailAllocations(0, -1);
        std::string more = PatternBytes(200000, 12);
        CHECK(stream.Write(more.data(), (int32_t)more.size()) == -1);
        AllowAllocations();
        CHECK(stream.End(NPRES_NETWORK_ERR) == NPERR_NO_ERROR);
        INFO(Describe(answerer));
        REQUIRE(answerer.ScriptDone());
        CHECK(answerer.MessageTexts() == std::vector<std::string>{ kNoMemory });
        CHECK(answerer.Seen()[1].owner == NULL);
        /* Wine's AbortPrinter is a stub, so the abandoned document still
           lands, but none of the collected data went into it. */
        std::vector<std::string> documents = PrintedSince(before, 1);
        REQUIRE(documents.size() == 1);
        CHECK(documents[0].empty());
    }
    SUBCASE("no larger buffer to be had, but the exact size is")
    {
        std::string data = PatternBytes(70000, 13);
        DialogAnswerer answerer({ PrintOk(2) });
        HostStream stream(*browser.instance, "http://server/i.cvep", (uint32_t)data.size());
        REQUIRE(stream.Open() == NPERR_NO_ERROR);
        FailAllocationsAbove((uint32_t)data.size());
        CHECK(stream.Feed(data, 65536));
        AllowAllocations();
        CHECK(Memory().failures > 0);
        CHECK(stream.End(NPRES_DONE) == NPERR_NO_ERROR);
        INFO(Describe(answerer));
        CHECK(answerer.ScriptDone());
        std::vector<std::string> documents = PrintedSince(before, 1);
        REQUIRE(documents.size() == 1);
        CHECK(documents[0] == Repeated(data, 2));
    }
    CheckOnlyInstanceLeft();
}

TEST_CASE("a file that cannot be created offers Retry, which asks for a name again")
{
    Browser browser;
    std::string dir = MakeScratchDir("plugin-locked");
    std::string locked = dir + "\\locked.cv";
    std::string other = dir + "\\other.cv";
    DeleteFileA(other.c_str());
    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    REQUIRE(holder != INVALID_HANDLE_VALUE);
    std::string data = PatternBytes(5000, 17);

    SUBCASE("Retry, then a name that works")
    {
        /* The save dialog first asks whether to replace the existing file. */
        DialogAnswerer answerer({ PrintOk(1, true), SaveAs(locked), Box(IDYES), Box(IDRETRY), SaveAs(other) });
        HostStream stream(*browser.instance, "http://server/j.cvep", (uint32_t)data.size());
        REQUIRE(stream.Open() == NPERR_NO_ERROR);
        CHECK(stream.Feed(data, 1000));
        CHECK(stream.End(NPRES_DONE) == NPERR_NO_ERROR);
        INFO(Describe(answerer));
        REQUIRE(answerer.ScriptDone());
        CHECK(answerer.Count(DialogKind::SaveDialog) == 2);
        const SeenDialog &box = answerer.Seen()[3];
        CHECK(box.text.rfind("Unable to open file\n" + locked + ": ", 0) == 0);
        CHECK(box.hasRetry);
        CHECK(box.owner == NULL);
        CHECK(ReadBytes(other) == data);
    }
    SUBCASE("Cancel gives up")
    {
        DialogAnswerer answerer({ PrintOk(1, true), SaveAs(locked), Box(IDYES), Box(IDCANCEL) });
        HostStream stream(*browser.instance, "http://server/k.cvep", (uint32_t)data.size());
        CHECK(stream.Open() == NPERR_GENERIC_ERROR);
        INFO(Describe(answerer));
        CHECK(answerer.ScriptDone());
        CHECK(answerer.Count(DialogKind::SaveDialog) == 1);
    }
    CloseHandle(holder);
    CheckOnlyInstanceLeft();
}

TEST_CASE("an instance without a window gives its dialogs no owner")
{
    Browser browser;
    CHECK(browser.instance->SetWindow(nullptr) == NPERR_NO_ERROR);
    DialogAnswerer answerer({ PrintCancel() });
    HostStream stream(*browser.instance, "http://server/l.cvep", 10);
    CHECK(stream.Open() == NPERR_GENERIC_ERROR);
    INFO(Describe(answerer));
        REQUIRE(answerer.ScriptDone());
    CHECK(answerer.Seen()[0].owner == NULL);
}

TEST_CASE("a save name outside the ANSI code page is refused with Retry; its look-alike is untouched")
{
    Browser browser;
    std::string dir = MakeScratchDir("plugin-lookalike");
    REQUIRE(WriteBytes(dir + "\\Save.cv", "keep"));
    DialogAnswerer answerer({ PrintOk(1, true), SaveAs(dir + "\\\xC5\x9C" "ave.cv"), Box(IDCANCEL) });
    HostStream stream(*browser.instance, "http://server/l.cvep", 10);
    CHECK(stream.Open() == NPERR_GENERIC_ERROR);
    INFO(Describe(answerer));
    CHECK(answerer.ScriptDone());
    REQUIRE(answerer.MessageTexts().size() == 1);
    CHECK(answerer.MessageTexts()[0].rfind("Unable to open file\n", 0) == 0);
    CHECK(answerer.Seen().back().hasRetry);
    CHECK(ReadBytes(dir + "\\Save.cv") == "keep");
    CheckOnlyInstanceLeft();
}
