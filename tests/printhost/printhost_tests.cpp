/* The print host on its own: the real program under Wine, fed crafted
   frames from a file on its standard input, its replies read back from a
   file.  The viewer is the recorder stand-in, found through the App Paths
   key; the host's temporary folder is one of the test's own, so a file left
   behind is counted exactly. */
#include "doctest_config.h"
#include "frames.h"
#include "json_reader.h"
#include "recording_viewer.h"
#include "session.h"
#include "testbed.h"

#include <algorithm>

using namespace testbed;

namespace {

std::string Transfer(const char *job, const std::string &bytes, bool latin1 = false)
{
    return Begin(job, (long long)bytes.size()) + Chunk(job, 0, bytes, latin1) + End(job, bytes);
}

/* A reply in short: its type and job ("-" for none), then the ack's seq and
   count, the error's reason or the hello's version. */
std::string Summary(std::string reply)
{
    JsonObject object;
    if (!JsonParseObject(&reply[0], reply.size(), &object))
        return "unreadable " + reply;
    auto text = [&](const char *key) {
        JsonValue value = JsonFind(object, key);
        return value.kind == JSON_ABSENT ? std::string("-") : std::string(value.text, value.length);
    };
    std::string summary = text("type");
    if (summary == "hello")
        return summary + " " + text("version");
    summary += " " + text("job");
    if (summary.compare(0, 3, "ack") == 0)
        summary += " " + text("seq") + " " + text("received");
    if (summary.compare(0, 5, "error") == 0)
        summary += " " + text("reason");
    if (summary.compare(0, 7, "outcome") == 0)
        summary += " " + text("outcome") + (text("copies") != "-" ? " " + text("copies") : "");
    return summary;
}

struct HostRun {
    int exitCode;
    std::vector<std::string> replies;   /* whole */
    std::string summary;                /* one line per reply */
};

HostRun RunHost(const std::string &input)
{
    std::string dir = MakeScratchDir("printhost");
    WriteBytes(dir + "\\in", input);
    SECURITY_ATTRIBUTES inherit = { sizeof(inherit), NULL, TRUE };
    HANDLE in = CreateFileA((dir + "\\in").c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, NULL);
    HANDLE out = CreateFileA((dir + "\\out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                             NULL);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    std::string exe = WinePath(CORV_PRINTHOST_EXE);
    std::string line = "\"" + exe + "\" chrome-extension://caagnfbclibjiiajefnijippejangala/";
    HostRun run = { -1, {}, "" };
    if (CreateProcessA(exe.c_str(), &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
        DWORD code = (DWORD)-1;
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        else
            TerminateProcess(process.hProcess, 99);
        run.exitCode = (int)code;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(in);
    CloseHandle(out);
    std::string bytes = ReadBytes(dir + "\\out");
    for (size_t at = 0; at + 4 <= bytes.size();) {
        const unsigned char *h = (const unsigned char *)bytes.data() + at;
        size_t length = h[0] | (h[1] << 8) | (h[2] << 16) | ((size_t)h[3] << 24);
        run.replies.push_back(bytes.substr(at + 4, length));
        run.summary += Summary(run.replies.back()) + "\n";
        at += 4 + length;
    }
    return run;
}

/* The recorder in the viewer's place, and the test's own temporary folder,
   which the host inherits. */
struct Bench {
    RecordingViewer viewer{ CORV_VIEWER_RECORDER, "printhost viewer" };
    std::string temp;
    Bench()
    {
        temp = MakeScratchDir("printhost-temp") + "\\";
        SetEnvironmentVariableA("TMP", temp.c_str());
        SetEnvironmentVariableA("TEMP", temp.c_str());
    }
    /* The runs since the last call, oldest first, once expected ones are in
       (or after a short while when none are). */
    std::vector<ViewerRun> Runs(size_t expected)
    {
        std::vector<ViewerRun> runs = viewer.Runs(expected, expected > 0 ? 10000 : 300);
        viewer.Forget();
        return runs;
    }
    /* The host's command line for the viewer, in the form Shape gives it. */
    std::string CommandLine(const std::string &options)
    {
        return "\"" + viewer.path + "\" \"" + temp + "CVT#.tmp\" -d -o \"" + temp + "CVO#.tmp\"" + options;
    }
};

/* A command line with the numbers of our temporary names left out. */
std::string Shape(std::string line)
{
    for (const char *prefix : { "CVT", "CVO" }) {
        size_t at = line.find(prefix);
        size_t end = at != std::string::npos ? line.find(".tmp", at) : std::string::npos;
        if (end != std::string::npos)
            line.replace(at + 3, end - at - 3, "#");
    }
    return line;
}

} // namespace

TEST_CASE("the host answers each message, prints only whole transfers of its own files, and leaves none behind")
{
    const std::string all = PatternBytes(256, 0) + [] { std::string b; for (int i = 0; i < 256; i++) b += (char)i; return b; }();
    const std::string big = PatternBytes(3 * 1024 * 1024 + 5, 7);
    struct Row {
        const char *what;
        std::string input;
        const char *replies;
        int exitCode;
        std::vector<std::string> printed;   /* what the viewer got, run by run */
        const char *detail;                 /* a text the replies carry, or "" */
    } rows[] = {
        { "hello, then a base64 transfer in two chunks",
          F(R"({"type":"hello"})") + Begin("j1", 11) + F(R"({"type":"chunk","job":"j1","seq":0,"data":"aGVsbG8g"})") +
              F(R"({"type":"chunk","job":"j1","seq":1,"data":"d29ybGQ="})") +
              F(R"({"type":"end","job":"j1","size":11,"crc32":222957957})"),
          "hello 1.0.5\nready j1\nack j1 0 6\nack j1 1 11\ndone j1\noutcome j1 printed 1\n", 0, { "hello world" }, "" },
        { "every byte value as Latin-1 text, size unknown",
          Begin("L", -1) + Chunk("L", 0, all, true) + End("L", all),
          "ready L\nack L 0 512\ndone L\noutcome L printed 1\n", 0, { all }, "" },
        { "a zero-length transfer", Begin("z", 0) + F(R"({"type":"end","job":"z","size":0,"crc32":0})"),
          "ready z\ndone z\noutcome z printed 1\n", 0, { "" }, "" },
        { "two transfers, one of 3 MB", Transfer("a", "first") + Transfer("b", big),
          "ready a\nack a 0 5\ndone a\noutcome a printed 1\nready b\nack b 0 3145733\ndone b\noutcome b printed 1\n", 0, { "first", big }, "" },
        { "names of files and programs in a message are never used",
          F(R"({"type":"begin","job":"..","size":1,"file":"C:\\Windows\\notepad.exe","viewer":"C:\\Windows\\notepad.exe"})") +
              Chunk("..", 0, "x") + End("..", "x"),
          "ready ..\nack .. 0 1\ndone ..\noutcome .. printed 1\n", 0, { "x" }, "" },
        { "a job id with path characters", Transfer("..\\\\x", "x") + Transfer("C:\\\\Windows\\\\notepad.exe", "x"),
          "error - protocol\nerror - protocol\nerror - protocol\nerror - protocol\nerror - protocol\nerror - protocol\n",
          0, {}, "" },
        { "a frame longer than 32 MiB, refused from its length",
          Begin("o", 5) + Header(MAX_FRAME_LENGTH + 1) + F(R"({"type":"hello"})"), "ready o\nerror o protocol\n", 1, {},
          "longer than 32 MiB" },
        { "a frame of length zero", Header(0) + F(R"({"type":"hello"})"), "error - protocol\n", 1, {}, "empty" },
        { "malformed JSON ends the transfer; the host keeps serving",
          Begin("m", 1) + F(R"({"type":"chunk",)") + F(R"({"type":"hello"})") + Chunk("m", 0, "x"),
          "ready m\nerror m protocol\nhello 1.0.5\nerror m protocol\n", 0, {}, "" },
        { "an unknown type, also with a job id not to echo",
          Begin("u", 1) + F(R"({"type":"print","job":"u"})") + F(R"({"type":"print","job":"ab\u0100"})"),
          "ready u\nerror u protocol\nerror - protocol\n", 0, {}, "" },
        { "a chunk out of order", Begin("s", 2) + Chunk("s", 1, "x"), "ready s\nerror s protocol\n", 0, {}, "" },
        { "a chunk and an end without a begin", Chunk("n", 0, "x") + End("n", ""), "error n protocol\nerror n protocol\n",
          0, {}, "" },
        { "a begin while a transfer is open", Begin("p", 1) + Begin("q", 1), "ready p\nerror q protocol\n", 0, {}, "" },
        { "more data than begin announced", Begin("g", 3) + Chunk("g", 0, "four"), "ready g\nerror g size\n", 0, {}, "" },
        { "end's size differs from the data", Begin("e", -1) + Chunk("e", 0, "four") + End("e", "five!"),
          "ready e\nack e 0 4\nerror e size\n", 0, {}, "" },
        { "a checksum mismatch",
          Begin("c", 5) + Chunk("c", 0, "hello") + F(R"({"type":"end","job":"c","size":5,"crc32":907060871})"),
          "ready c\nack c 0 5\nerror c checksum\n", 0, {}, "" },
        { "bad base64, and a code point above 255",
          Begin("b", 9) + F(R"({"type":"chunk","job":"b","seq":0,"data":"aGV*bG8="})") + Begin("d", 9) +
              F(R"({"type":"chunk","job":"d","seq":0,"latin1":"\u0100"})"),
          "ready b\nerror b protocol\nready d\nerror d protocol\n", 0, {}, "" },
        { "cancel deletes the file", Begin("k", 9) + Chunk("k", 0, "part") + F(R"({"type":"cancel","job":"k"})"),
          "ready k\nack k 0 4\ncancelled k\n", 0, {}, "" },
        { "the input ends during a transfer", Begin("t", 9) + Chunk("t", 0, "part"), "ready t\nack t 0 4\nerror t protocol\n",
          1, {}, "during the transfer" },
        { "the input ends inside a frame", Begin("i", 9) + Header(100) + "{\"type\"", "ready i\nerror i protocol\n", 1, {},
          "inside a message" },
    };
    Bench bench;
    for (const Row &row : rows) {
        INFO(row.what);
        HostRun run = RunHost(row.input);
        CHECK(run.summary == row.replies);
        CHECK(run.exitCode == row.exitCode);
        std::string replies;
        for (const std::string &reply : run.replies) {
            CHECK(reply.size() < 1024);
            replies += reply;
        }
        CHECK(replies.find(row.detail) != std::string::npos);
        auto runs = bench.Runs(row.printed.size());
        REQUIRE(runs.size() == row.printed.size());
        for (size_t i = 0; i < runs.size(); i++) {
            CHECK(runs[i].data == row.printed[i]);
            CHECK(Shape(runs[i].commandLine) == bench.CommandLine(""));
            CHECK(runs[i].deletedFile);
        }
        CHECK(CountTempFiles("CVT") == 0);
        CHECK(CountTempFiles("CVO") == 0);
    }
}

TEST_CASE("with no viewer installed a whole transfer gets a viewer error and its file is deleted")
{
    Bench bench;
    DeleteViewerAppPaths();
    HostRun run = RunHost(Transfer("v", "data"));
    CHECK(run.summary == "ready v\nack v 0 4\nerror v viewer\n");
    REQUIRE(run.replies.size() == 3);
    CHECK(run.replies[2].find("Corvala Viewer.exe: File not found.") != std::string::npos);
    CHECK(bench.Runs(0).empty());
    CHECK(CountTempFiles("CVT") == 0);
}

namespace {

std::string FileMessage(const char *job, const std::string &path, const char *origin = NULL)
{
    std::string escaped;
    for (char c : path)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return F(std::string(R"({"type":"file","job":")") + job + R"(","path":")" + escaped + "\"" +
             (origin != NULL ? std::string(R"(,"origin":")") + origin + "\"" : "") + "}");
}

} // namespace

TEST_CASE("the host takes over only plain downloads of the extension's naming, and a refused one is left as it was")
{
    Bench bench;
    const std::string bytes = PatternBytes(70000, 3);
    std::string dir = MakeScratchDir("printhost-downloads") + "\\";
    enum Make { PLAIN, HARD_LINK, FOLDER, NOTHING };
    struct Row {
        const char *what;
        const char *name;   /* in dir */
        Make make;
        const char *replies;
    } rows[] = {
        { "a download of ours", "report (1).CVEP", PLAIN, "done f\noutcome f printed 1\n" },
        { "named after its job, the ending changed by the browser", "f (2).txt", PLAIN, "done f\noutcome f printed 1\n" },
        { "another extension", "report.cvep.exe", PLAIN, "error f file\n" },
        { "named after another job", "g.txt", PLAIN, "error f file\n" },
        { "no name before the extension", ".cvep", PLAIN, "error f file\n" },
        { "a second name of a file", "linked.cvep", HARD_LINK, "error f file\n" },
        { "a folder", "folder.cvep", FOLDER, "error f file\n" },
        { "a missing file", "gone.cvep", NOTHING, "error f file\n" },
        { "a device name among the folders", "con\\x.cvep", NOTHING, "error f file\n" },
        { "a stream of another file", "plain.txt:x.cvep", NOTHING, "error f file\n" },
    };
    for (const Row &row : rows) {
        INFO(std::string(row.what));
        std::string path = dir + row.name;
        if (row.make == PLAIN || row.make == HARD_LINK)
            WriteBytes(path, bytes);
        if (row.make == HARD_LINK)
            CHECK(CreateHardLinkA((dir + "other").c_str(), path.c_str(), NULL));
        if (row.make == FOLDER)
            CreateDirectoryA(path.c_str(), NULL);
        HostRun run = RunHost(FileMessage("f", path));
        CHECK(run.summary == row.replies);
        bool taken = row.replies[0] == 'd';
        auto runs = bench.Runs(taken ? 1 : 0);
        REQUIRE(runs.size() == (taken ? 1u : 0u));
        if (taken) {
            CHECK(runs[0].data == bytes);
            CHECK(!FileExists(path));
        } else {
            CHECK(run.replies[0].find(row.name) == std::string::npos);
            CHECK(ReadBytes(path) == (row.make == PLAIN || row.make == HARD_LINK ? bytes : ""));
        }
        CHECK(CountTempFiles("CVT") == 0);
    }

    /* No viewer: the user keeps the download. */
    DeleteViewerAppPaths();
    WriteBytes(dir + "kept.cvep", bytes);
    HostRun run = RunHost(FileMessage("k", dir + "kept.cvep"));
    CHECK(run.summary == "error k viewer\n");
    CHECK(ReadBytes(dir + "kept.cvep") == bytes);
    CHECK(CountTempFiles("CVT") == 0);
    CHECK(CountTempFiles("CVO") == 0);
}

TEST_CASE("after done the host tells the outcome the viewer wrote, or that it wrote none")
{
    Bench bench;
    struct Row {
        const char *written;   /* CORV_VIEWER_RECORD_OUTCOME */
        const char *reply;
    } rows[] = {
        { "printed 2\\n", R"({"type":"outcome","job":"o","outcome":"printed","copies":2})" },
        { "saved\\n", R"({"type":"outcome","job":"o","outcome":"saved"})" },
        { "cancelled\\n", R"({"type":"outcome","job":"o","outcome":"cancelled"})" },
        { "failed\\nLe papier manque \xe0 \"Corvala Sandbox\".",
          "{\"type\":\"outcome\",\"job\":\"o\",\"outcome\":\"failed\",\"message\":\"Le papier manque \xc3\xa0 "
          "\\\"Corvala Sandbox\\\".\"}" },
        { "none", R"({"type":"outcome","job":"o","outcome":"failed","message":"The viewer ended without saying what became of the print."})" },
        { "printed two\\n", R"({"type":"outcome","job":"o","outcome":"failed","message":"The viewer ended without saying what became of the print."})" },
    };
    for (const Row &row : rows) {
        INFO(std::string(row.written));
        SetEnvironmentVariableA("CORV_VIEWER_RECORD_OUTCOME", row.written);
        HostRun run = RunHost(Transfer("o", "data"));
        SetEnvironmentVariableA("CORV_VIEWER_RECORD_OUTCOME", NULL);
        REQUIRE(run.replies.size() == 4);
        CHECK(run.replies[2] == R"({"type":"done","job":"o"})");
        CHECK(run.replies[3] == row.reply);
        CHECK(bench.Runs(1).size() == 1);
        CHECK(CountTempFiles("CVT") == 0);
        CHECK(CountTempFiles("CVO") == 0);
    }
}

namespace {

const wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Corvala\\Corvala400\\SilentPrinting";

void SetPolicyValue(HKEY root, const wchar_t *name, DWORD type, const void *data, DWORD size)
{
    HKEY key;
    REQUIRE(RegCreateKeyExW(root, kPolicyKey, 0, NULL, 0, KEY_WRITE | KEY_WOW64_64KEY, NULL, &key, NULL) ==
            ERROR_SUCCESS);
    CHECK(RegSetValueExW(key, name, 0, type, (const BYTE *)data, size) == ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetPolicyText(HKEY root, const wchar_t *name, DWORD type, const wchar_t *text)
{
    SetPolicyValue(root, name, type, text, (DWORD)((wcslen(text) + 1) * sizeof(wchar_t)));
}

} // namespace

TEST_CASE("only an origin the machine's policy lists exactly prints without a dialog")
{
    Bench bench;
    const DWORD one = 1;
    SetPolicyText(HKEY_LOCAL_MACHINE, L"http://127.0.0.1:8080", REG_SZ, L"Corvala Sandbox");
    SetPolicyText(HKEY_LOCAL_MACHINE, L"https://erp.example.com", REG_SZ, L"");
    SetPolicyText(HKEY_LOCAL_MACHINE, L"https://expand.example.com", REG_EXPAND_SZ, L"Corvala Sandbox");
    SetPolicyText(HKEY_LOCAL_MACHINE, L"https://quote.example.com", REG_SZ, L"Corvala\" -x \"Sandbox");
    SetPolicyValue(HKEY_LOCAL_MACHINE, L"https://dword.example.com", REG_DWORD, &one, sizeof(one));
    SetPolicyText(HKEY_CURRENT_USER, L"https://user.example.com", REG_SZ, L"");
    struct Row {
        const char *origin;
        const char *options;
    } rows[] = {
        { "http://127.0.0.1:8080", " -p \"Corvala Sandbox\"" },
        { "https://erp.example.com", " -u" },
        { "http://127.0.0.1:8081", "" },
        { "https://ERP.example.com", "" },
        { "https://user.example.com", "" },
        { "https://dword.example.com", "" },
        { "https://expand.example.com", "" },
        { "https://quote.example.com", "" },
    };
    for (const Row &row : rows) {
        INFO(std::string(row.origin));
        HostRun run = RunHost(
            F(std::string(R"({"type":"begin","job":"p","size":1,"origin":")") + row.origin + "\"}") + Chunk("p", 0, "x") +
            End("p", "x"));
        CHECK(run.summary == "ready p\nack p 0 1\ndone p\noutcome p printed 1\n");
        auto runs = bench.Runs(1);
        REQUIRE(runs.size() == 1);
        CHECK(Shape(runs[0].commandLine) == bench.CommandLine(row.options));
    }

    /* The file road passes its origin too. */
    std::string path = MakeScratchDir("printhost-policy") + "\\silent.cvep";
    WriteBytes(path, "y");
    CHECK(RunHost(FileMessage("s", path, "https://erp.example.com")).summary == "done s\noutcome s printed 1\n");
    auto runs = bench.Runs(1);
    REQUIRE(runs.size() == 1);
    CHECK(Shape(runs[0].commandLine) == bench.CommandLine(" -u"));
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Policies\\Corvala");
    HKEY policies;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &policies) ==
        ERROR_SUCCESS) {
        RegDeleteTreeW(policies, L"Corvala");
        RegCloseKey(policies);
    }
}
