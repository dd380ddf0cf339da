/* The command line: options before or after the source, the missing source,
   the control's quoting, and the deletion that follows every outcome. */
#include "doctest_config.h"
#include "dialogs.h"
#include "testbed.h"
#include "viewer_test_util.h"

using namespace testbed;
using namespace viewertest;

struct Parsed {
    ViewerOptions options;
    std::string source, outcome, printer;
};

static Parsed Parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "viewer");
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(NULL);
    Parsed parsed;
    parsed.options.deleteInput = parsed.options.useDefaultPrinter = parsed.options.sourceIsUrl = 99;
    parsed.options.source = (const char *)0xdeadbeef;
    ParseCommandLine((int)args.size(), argv.data(), &parsed.options);
    parsed.source = parsed.options.source != NULL ? parsed.options.source : "<none>";
    parsed.outcome = parsed.options.outcomePath != NULL ? parsed.options.outcomePath : "<none>";
    parsed.printer = parsed.options.printerName != NULL ? parsed.options.printerName : "<none>";
    return parsed;
}

TEST_CASE("options are found before and after the source, alone or grouped")
{
    Parsed before = Parse({ "-d", "-u", "report.prn" });
    CHECK(before.source == "report.prn");
    CHECK(before.options.deleteInput);
    CHECK(before.options.useDefaultPrinter);
    CHECK_FALSE(before.options.sourceIsUrl);

    Parsed after = Parse({ "C:\\temp\\CVT1.tmp", "-d" });
    CHECK(after.source == "C:\\temp\\CVT1.tmp");
    CHECK(after.options.deleteInput);
    CHECK_FALSE(after.options.useDefaultPrinter);

    Parsed grouped = Parse({ "-gud", "http://host/x" });
    CHECK(grouped.options.deleteInput);
    CHECK(grouped.options.useDefaultPrinter);
    CHECK(grouped.options.sourceIsUrl);
    CHECK(grouped.source == "http://host/x");

    Parsed repeated = Parse({ "-d", "-d", "a" });
    CHECK(repeated.options.deleteInput);
}

TEST_CASE("unknown letters are ignored, the first of two names is the source, and parsing starts afresh")
{
    Parsed unknown = Parse({ "-x", "-q", "first.prn", "second.prn", "-u" });
    CHECK(unknown.source == "first.prn");
    CHECK(unknown.options.useDefaultPrinter);
    CHECK_FALSE(unknown.options.deleteInput);

    Parsed dash = Parse({ "-", "-d" });
    CHECK(dash.source == "-");

    Parsed none = Parse({ "-d", "-u" });
    CHECK(none.source == "<none>");
    CHECK(none.options.deleteInput);

    /* A second parse in the same process does not inherit the first. */
    Parsed fresh = Parse({ "only.prn" });
    CHECK(fresh.source == "only.prn");
    CHECK_FALSE(fresh.options.deleteInput);
    CHECK_FALSE(fresh.options.useDefaultPrinter);
}

TEST_CASE("options after the source work whatever the environment says")
{
    const char *environments[] = { "POSIXLY_CORRECT=1", "POSIXLY_CORRECT=" };
    const struct {
        std::vector<std::string> args;
        const char *source;
        bool d, u, g;
    } cases[] = {
        { { "C:\\temp\\CVT1.tmp", "-d" }, "C:\\temp\\CVT1.tmp", true, false, false },
        { { "http://host/x", "-g", "-u" }, "http://host/x", false, true, true },
        { { "first.prn", "second.prn", "-du" }, "first.prn", true, true, false },
        { { "-u", "--", "-d" }, "-d", false, true, false },
    };
    for (const char *environment : environments) {
        CAPTURE(environment);
        _putenv(environment);
        for (const auto &c : cases) {
            Parsed parsed = Parse(c.args);
            CHECK(parsed.source == c.source);
            CHECK(parsed.options.deleteInput == c.d);
            CHECK(parsed.options.useDefaultPrinter == c.u);
            CHECK(parsed.options.sourceIsUrl == c.g);
        }
    }
}

TEST_CASE("-o and -p take the next argument, or the rest of their own, anywhere on the line")
{
    const struct {
        std::vector<std::string> args;
        const char *source, *outcome, *printer;
        bool d, u;
    } cases[] = {
        { { "-o", "C:\\t\\CVO1.tmp", "a.prn" }, "a.prn", "C:\\t\\CVO1.tmp", "<none>", false, false },
        { { "a.prn", "-d", "-p", "Corvala Sandbox", "-o", "o.txt" }, "a.prn", "o.txt", "Corvala Sandbox", true, false },
        { { "-do", "o.txt", "-upP", "a.prn" }, "a.prn", "o.txt", "P", true, true },
        { { "-oo.txt", "a.prn" }, "a.prn", "o.txt", "<none>", false, false },
        { { "-o", "-d", "a.prn" }, "a.prn", "-d", "<none>", false, false },
        { { "-p", "", "a.prn", "-o", "1", "-o", "2" }, "a.prn", "2", "", false, false },
        { { "a.prn", "-o" }, "a.prn", "<none>", "<none>", false, false },
        { { "-p" }, "<none>", "<none>", "<none>", false, false },
    };
    for (const auto &c : cases) {
        size_t row = (size_t)(&c - cases);
        CAPTURE(row);
        Parsed parsed = Parse(c.args);
        CHECK(parsed.source == c.source);
        CHECK(parsed.outcome == c.outcome);
        CHECK(parsed.printer == c.printer);
        CHECK(parsed.options.deleteInput == c.d);
        CHECK(parsed.options.useDefaultPrinter == c.u);
    }
}

TEST_CASE("the program without a source shows the message and exits with 1")
{
    ProcessRun bare = RunAnswered("\"" + ViewerExe() + "\"");
    CHECK(bare.exitCode == 1);
    REQUIRE(bare.messages.size() == 1);
    CHECK(bare.messages[0] == "No filename provided.");
    CHECK(bare.titles[0] == "Corvala/400");

    ProcessRun optionsOnly = RunAnswered("\"" + ViewerExe() + "\" -d -u");
    CHECK(optionsOnly.exitCode == 1);
    CHECK(optionsOnly.messages == std::vector<std::string>{ "No filename provided." });
}

TEST_CASE("the control's command line prints the file and deletes it")
{
    std::string data = PatternBytes(10000, 31);
    std::string path = MakeScratchFile("CVT 1.tmp", data); /* a blank needs the quotes */
    size_t before = SpoolJobs().size();

    ProcessRun run = RunAnswered("\"" + ViewerExe() + "\" \"" + path + "\" -d");
    CHECK(run.exitCode == 0);
    CHECK(run.messages.empty());
    CHECK(run.titles.size() == 1); /* the print dialog, answered with OK */
    std::vector<std::string> jobs = NewSpoolJobs(before, 1);
    REQUIRE(jobs.size() == 1);
    CHECK(ReadBytes(jobs[0]) == data);
    CHECK_FALSE(FileExists(path));
}

TEST_CASE("-d deletes the input after a cancel and after a failure, -g never deletes")
{
    std::string cancelled = MakeScratchFile("cancelled.prn", "data");
    {
        DialogAnswerer answerer({ PrintCancel() });
        CHECK(RunViewerArgs({ cancelled, "-d" }) == 0);
        CHECK(answerer.ScriptDone());
    }
    CHECK_FALSE(FileExists(cancelled));

    /* -d with a file that cannot be opened: reported, deletion attempted. */
    std::string missing = MakeScratchDir("missing") + "\\gone.prn";
    {
        DialogAnswerer answerer({ Box(IDOK) });
        CHECK(RunViewerArgs({ "-du", missing }) == 0);
        REQUIRE(answerer.MessageTexts().size() == 1);
        CHECK(FirstLine(answerer.MessageTexts()[0]) == "Unable to open file");
    }

    /* A local name given as a URL cannot be fetched and is never deleted. */
    std::string kept = MakeScratchFile("kept.prn", "data");
    {
        DialogAnswerer answerer({ Box(IDOK) });
        CHECK(RunViewerArgs({ "-g", "-d", "-u", kept }) == 0);
        REQUIRE(answerer.MessageTexts().size() == 1);
        CHECK(answerer.MessageTexts()[0].rfind("Unable to open file\n" + kept + ": ", 0) == 0);
    }
    CHECK(FileExists(kept));
}

static std::string VersionString(const std::vector<BYTE> &info, const char *key)
{
    char *value = NULL;
    UINT size = 0;
    std::string path = std::string("\\StringFileInfo\\040904e4\\") + key;
    if (!VerQueryValueA(info.data(), path.c_str(), (void **)&value, &size) || value == NULL)
        return "<missing>";
    return value;
}

TEST_CASE("the program carries its icon group 101 and its version 1.0.5.0")
{
    std::string exe = ViewerExe();
    HMODULE module = LoadLibraryExA(exe.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(module != NULL);
    CHECK(FindResourceA(module, MAKEINTRESOURCEA(101), (LPCSTR)RT_GROUP_ICON) != NULL);
    FreeLibrary(module);

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    REQUIRE(size > 0);
    std::vector<BYTE> info(size);
    REQUIRE(GetFileVersionInfoA(exe.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO *fixed = NULL;
    UINT fixedSize = 0;
    REQUIRE(VerQueryValueA(info.data(), "\\", (void **)&fixed, &fixedSize));
    CHECK(fixed->dwFileVersionMS == MAKELONG(0, 1));
    CHECK(fixed->dwFileVersionLS == MAKELONG(0, 5));
    CHECK(fixed->dwProductVersionMS == MAKELONG(0, 1));
    CHECK(fixed->dwProductVersionLS == MAKELONG(0, 5));
    CHECK(VersionString(info, "FileDescription") == "Corvala/400 Viewer");
    CHECK(VersionString(info, "InternalName") == "Corvala/400 Viewer");
    CHECK(VersionString(info, "OriginalFilename") == "Corvala Viewer.exe");
}
