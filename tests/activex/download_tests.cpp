/* The download job in this process, on an apartment thread that pumps
   messages, against the loopback server and real URL monikers.  The viewer
   is the recorder program, registered under App Paths; message boxes are
   real and answered by the test bed. */
#include "doctest_config.h"
#include "dialogs.h"
#include "download_callback.h"
#include "download_job.h"
#include "faults.h"
#include "messages.h"
#include "module.h"
#include "recording_viewer.h"
#include "testbed.h"
#include "url_check.h"

#include <algorithm>
#include <map>
#include <urlmon.h>

using namespace testbed;

namespace {

struct Apartment {
    Apartment()
    {
        CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
        InitResources(GetModuleHandleA(NULL));
        LoadCaption(IDS_APP_TITLE);
    }
    ~Apartment() { CoUninitialize(); }
} g_apartment;

void Pump(DWORD ms)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

/* Pumps until every job has reached its outcome, then a little longer for
   the URL monikers to let go of their callbacks. */
void PumpUntilJobsEnd()
{
    for (DWORD start = GetTickCount(); DownloadJobsRunning() > 0 && GetTickCount() - start < 30000;)
        Pump(20);
    CHECK(DownloadJobsRunning() == 0);
    Pump(100);
}

std::string TempDirectory()
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return dir;
}

/* A container whose site offers a bind host, as browsers do; it lives on
   the test's stack and counts the references it is given. */
struct BindHostSite : IServiceProvider, IBindHost {
    LONG refs = 1;
    int binds = 0;
    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        *out = NULL;
        if (riid == IID_IUnknown || riid == IID_IServiceProvider)
            *out = static_cast<IServiceProvider *>(this);
        else if (riid == IID_IBindHost)
            *out = static_cast<IBindHost *>(this);
        if (*out == NULL)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void **out) override
    {
        return service == SID_IBindHost ? QueryInterface(riid, out) : E_NOINTERFACE;
    }
    STDMETHODIMP CreateMoniker(LPOLESTR, IBindCtx *, IMoniker **, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP MonikerBindToStorage(IMoniker *moniker, IBindCtx *ctx, IBindStatusCallback *callback,
                                      REFIID riid, void **out) override
    {
        binds++;
        HRESULT hr = RegisterBindStatusCallback(ctx, callback, NULL, 0);
        return SUCCEEDED(hr) ? moniker->BindToStorage(ctx, NULL, riid, out) : hr;
    }
    STDMETHODIMP MonikerBindToObject(IMoniker *, IBindCtx *, IBindStatusCallback *, REFIID, void **) override
    {
        return E_NOTIMPL;
    }
};

struct JobResult {
    HRESULT hr;
    std::string tempFile;
    std::string messages;     /* the texts of the boxes shown, one per line */
};

std::string Lines(const std::vector<std::string> &texts)
{
    std::string all;
    for (const std::string &text : texts)
        all += text.substr(0, text.find_last_not_of("\r\n") + 1) + "\n";
    return all;
}

/* Runs one job to its end; boxes are answered with the given buttons. */
JobResult RunJob(const wchar_t *url, IUnknown *container = NULL, std::vector<DialogStep> answers = {})
{
    JobResult result;
    char temp[TEMP_NAME_CAPACITY] = "";
    BSTR address = url != NULL ? SysAllocString(url) : NULL;
    DialogAnswerer answerer(answers);
    result.hr = StartJob(address, container, temp);
    SysFreeString(address);
    PumpUntilJobsEnd();
    CHECK(answerer.ScriptDone());
    result.messages = Lines(answerer.MessageTexts());
    result.tempFile = temp;
    return result;
}

std::wstring Wide(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

std::string OpenFileError(const std::string &url, const std::string &reason)
{
    return "Unable to open file\n" + url + ": " + reason + "\n";
}

} // namespace

TEST_CASE("a complete download reaches the viewer byte for byte, whichever way it arrives")
{
    struct Row {
        const char *label;
        size_t size;
        const char *route;     /* path prefix and query around the file name */
        const char *query;
        bool bindHost;
    } rows[] = {
        { "empty body", 0, "/files/", "", false },
        { "ten bytes", 10, "/files/", "", true },
        { "5 MB at once", 5 << 20, "/files/", "", false },
        { "slow pieces, the last notification without bytes", 40000, "/slow/", "?chunk=5000&delay=60", true },
        { "no Content-Length", 20000, "/slow/", "?chunk=4000&delay=40&length=0", false },
        { "chunks beside a stale Content-Length", 30000, "/chunked/", "?length=100000", true },
        { "ten redirects", 3000, "/redirect/10/", "", false },
        { "gzip coded, longer than the data", 10, "/gzip/", "", true },
    };
    RecordingViewer viewer(CORV_VIEWER_RECORDER);
    int tempsBefore = CountTempFiles("CVT");
    for (const Row &row : rows) {
        CAPTURE(row.label);
        std::string name = std::string("whole-") + std::to_string(row.size) + ".prn";
        std::string data = PatternBytes(row.size, (unsigned)row.size + 3);
        PublishFile(name, data);
        std::string url = HttpBase() + row.route + name + row.query;
        BindHostSite site;
        size_t before = viewer.Runs(0).size();
        JobResult job = RunJob(Wide(url).c_str(), row.bindHost ? static_cast<IServiceProvider *>(&site) : NULL);
        CHECK(site.binds == (row.bindHost ? 1 : 0));
        CHECK(site.refs == 1);
        CHECK(job.hr == S_OK);
        CHECK(job.messages == "");
        std::vector<ViewerRun> runs = viewer.Runs(before + 1);
        REQUIRE(runs.size() == before + 1);
        ViewerRun &run = runs.back();
        CHECK(run.commandLine == viewer.CommandLineFor(job.tempFile));
        CHECK(run.data == data);
        CHECK(run.deletedFile);
    }
    CHECK(CountTempFiles("CVT") == tempsBefore);
}

TEST_CASE("a failed download is reported with the address and the reason, and nothing is handed on")
{
    PublishFile("broken.prn", PatternBytes(30000, 9));
    SetStallTimeout(1500);
    struct Row {
        std::string url;
        std::string reason;
    } rows[] = {
        { HttpBase() + "/status/404", "404 Not Found" },
        { HttpBase() + "/status/500", "500 Internal Server Error" },
        { HttpBase() + "/status/302", "302 Found" },
        { HttpBase() + "/drop/broken.prn?after=10000", "Connection reset by peer." },
        { "http://127.0.0.1:1/files/broken.prn", "FILE ERR 800c0008" },
        { HttpBase() + "/stall/broken.prn?after=10000", "Timeout." },
        { "http://", "FILE ERR 800c0004" },
        { HttpBase() + "/redirect/11/broken.prn", "FILE ERR 2f7c" },
        { HttpBase() + "/redirect/40/broken.prn", "FILE ERR 2f7c" },
    };
    RecordingViewer viewer(CORV_VIEWER_RECORDER);
    int tempsBefore = CountTempFiles("CVT");
    for (const Row &row : rows) {
        CAPTURE(row.url);
        DWORD start = GetTickCount();
        JobResult job = RunJob(Wide(row.url).c_str(), NULL, { Box(IDOK) });
        CHECK(GetTickCount() - start < 20000);
        CHECK(job.messages == OpenFileError(row.url, row.reason));
        CHECK_FALSE(FileExists(job.tempFile));
    }
    SetStallTimeout(60000);
    CHECK(viewer.Runs(0, 0).empty());
    CHECK(CountTempFiles("CVT") == tempsBefore);
}

TEST_CASE("an address other than http or https starts nothing")
{
    struct Row {
        const wchar_t *url;
        bool told;
    } rows[] = {
        { L"file:///C:/windows/win.ini", true }, { L"C:\\windows\\win.ini", true },
        { L"\\\\host\\share\\x.prn", true },     { L"ftp://127.0.0.1/x.prn", true },
        { L"javascript:alert(1)", true },        { L" http://127.0.0.1/x.prn", true },
        { L"httpx://127.0.0.1/x.prn", true },    { L"", false },
        { NULL, false },
    };
    int tempsBefore = CountTempFiles("CVT");
    for (const Row &row : rows) {
        std::wstring text = row.url != NULL ? row.url : L"(null)";
        CAPTURE(std::string(text.begin(), text.end()));
        char temp[TEMP_NAME_CAPACITY] = "untouched";
        BSTR address = row.url != NULL ? SysAllocString(row.url) : NULL;
        DialogAnswerer answerer(row.told ? std::vector<DialogStep>{ Box(IDOK) } : std::vector<DialogStep>{});
        CHECK(StartJob(address, NULL, temp) == S_FALSE);
        SysFreeString(address);
        CHECK(DownloadJobsRunning() == 0);
        CHECK(answerer.ScriptDone());
        if (row.told)
            CHECK(Lines(answerer.MessageTexts()) == OpenFileError(std::string(text.begin(), text.end()), "Access denied."));
        CHECK(std::string(temp) == "untouched");
    }
    CHECK(CountTempFiles("CVT") == tempsBefore);
}

TEST_CASE("an address outside ASCII is sent percent-encoded as UTF-8, never as a look-alike; such a host is refused")
{
    const struct {
        const wchar_t *url;
        const wchar_t *sent;   /* NULL: refused */
    } rows[] = {
        { L"http://h/files/\u015Cpool.cv?q=\u00E9#\u20AC", L"http://h/files/%C5%9Cpool.cv?q=%C3%A9#%E2%82%AC" },
        { L"HTTPS://u:p@h:81/a b\U0001F600", L"HTTPS://u:p@h:81/a b%F0%9F%98%80" },
        { L"http://h\u00E9st/x", NULL },
        { L"http://u\u00E9@h/x", NULL },
        { L"http://h/x\xD800y", NULL },
        { L"http://h/x\xDC00", NULL },
        { L"ftp://h/\u00E9", NULL },
    };
    for (const auto &row : rows) {
        CAPTURE(row.sent != NULL);
        wchar_t sent[64] = L"";
        int needed = EncodeFetchableUrl(row.url, sent, 64);
        CHECK(needed == (row.sent != NULL ? (int)wcslen(row.sent) + 1 : 0));
        CHECK((row.sent == NULL || std::wstring(sent) == row.sent));
    }
    /* The server is asked for the encoded name, never for the look-alike. */
    PublishFile("Spool.prn", "the look-alike");
    std::string sent = HttpBase() + "/files/%C5%9Cpool.prn";
    JobResult job = RunJob((Wide(HttpBase()) + L"/files/\u015Cpool.prn").c_str(), NULL, { Box(IDOK) });
    CHECK(job.messages == OpenFileError(sent, "404 Not Found"));
    CHECK(HttpRequestCount("/files/%C5%9Cpool.prn") == 1);
    CHECK(HttpRequestCount("/files/Spool.prn") == 0);
}

namespace {

int g_writeCalls;
int g_failWriteAt;        /* 1-based call that fails with a full disk; 0: none */
DWORD g_writeLimit;       /* at most this much per call; 0: no limit */

BOOL WINAPI LimitedWriteFile(HANDLE file, LPCVOID data, DWORD length, LPDWORD written, LPOVERLAPPED overlapped)
{
    if (++g_writeCalls == g_failWriteAt) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    if (g_writeLimit != 0 && length > g_writeLimit)
        length = g_writeLimit;
    return WriteFile(file, data, length, written, overlapped);
}

int g_tempNameFailures;

UINT WINAPI FailingGetTempFileName(LPCSTR dir, LPCSTR prefix, UINT unique, LPSTR name)
{
    if (g_tempNameFailures-- > 0) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    return GetTempFileNameA(dir, prefix, unique, name);
}

/* Asks for more room than it was given and writes nothing, as the system
   does for a temporary directory longer than the buffer. */
DWORD WINAPI TooLongTempPath(DWORD, LPSTR)
{
    return 300;
}

} // namespace

TEST_CASE("a temporary directory too long for the buffer: the file is made in the working directory")
{
    SysCallOverride path("GetTempPathA", AsProc(TooLongTempPath));
    TempFile file;
    REQUIRE(CreateTempFileWithRetry(file));
    CHECK(std::string(file.Name()).rfind(".\\CVT", 0) == 0);
    file.Discard();
    CHECK_FALSE(FileExists(file.Name()));
}

TEST_CASE("the disk: a block that cannot be written ends the job once; short writes are finished")
{
    std::string data = PatternBytes(60000, 31);
    std::string url = HttpBase() + "/slow/disk.prn?chunk=6000&delay=40";
    PublishFile("disk.prn", data);
    RecordingViewer viewer(CORV_VIEWER_RECORDER);
    SysCallOverride writes("WriteFile", AsProc(LimitedWriteFile));
    g_writeCalls = 0;
    SUBCASE("a full disk on the second block")
    {
        g_failWriteAt = 2;
        g_writeLimit = 0;
        JobResult job = RunJob(Wide(url).c_str(), NULL, { Box(IDOK) });
        CHECK(job.messages == "Writing to disk Error\nDisk full.\n");
        CHECK(g_writeCalls == 2);
        CHECK_FALSE(FileExists(job.tempFile));
        CHECK(viewer.Runs(0, 500).empty());
    }
    SUBCASE("a disk that takes 1000 bytes at a time")
    {
        g_failWriteAt = 0;
        g_writeLimit = 1000;
        JobResult job = RunJob(Wide(url).c_str());
        CHECK(job.messages == "");
        std::vector<ViewerRun> runs = viewer.Runs(1);
        REQUIRE(runs.size() == 1);
        CHECK(runs[0].data == data);
    }
}

TEST_CASE("a temporary name that cannot be made offers Retry and Cancel before anything is fetched")
{
    PublishFile("retry.prn", "retry data");
    std::string url = HttpBase() + "/files/retry.prn";
    std::string message = OpenFileError(TempDirectory(), "Directory name invalid.");
    RecordingViewer viewer(CORV_VIEWER_RECORDER);
    SysCallOverride names("GetTempFileNameA", AsProc(FailingGetTempFileName));
    g_tempNameFailures = 1;
    int requestsBefore = HttpRequestCount("/files/retry.prn");
    SUBCASE("Retry takes a new name and the job goes on")
    {
        JobResult job = RunJob(Wide(url).c_str(), NULL, { Box(IDRETRY) });
        CHECK(job.messages == message);
        std::vector<ViewerRun> runs = viewer.Runs(1);
        REQUIRE(runs.size() == 1);
        CHECK(runs[0].data == "retry data");
    }
    SUBCASE("Cancel ends the job")
    {
        JobResult job = RunJob(Wide(url).c_str(), NULL, { Box(IDCANCEL) });
        CHECK(job.hr == S_FALSE);
        CHECK(job.messages == message);
        CHECK(job.tempFile.empty());
        CHECK(HttpRequestCount("/files/retry.prn") == requestsBefore);
    }
}

namespace {

/* Only three names to choose from: CVT1.tmp, CVT2.tmp and CVT3.tmp. */
UINT WINAPI ThreeTempNames(LPCSTR dir, LPCSTR prefix, UINT unique, LPSTR name)
{
    return GetTempFileNameA(dir, prefix, 1 + unique % 3, name);
}

} // namespace

TEST_CASE("names other programs hold are passed over and their files untouched; with none left the job asks")
{
    PublishFile("taken.prn", "our data");
    std::wstring url = Wide(HttpBase() + "/files/taken.prn");
    RecordingViewer viewer(CORV_VIEWER_RECORDER);
    SysCallOverride names("GetTempFileNameA", AsProc(ThreeTempNames));
    struct Row {
        int taken;
        std::string message;
    } rows[] = {
        { 2, "" },
        { 3, OpenFileError(TempDirectory(), "File exists.") },
    };
    for (const Row &row : rows) {
        CAPTURE(row.taken);
        std::vector<std::string> others;
        for (int i = 1; i <= row.taken; i++) {
            others.push_back(TempDirectory() + "CVT" + std::to_string(i) + ".tmp");
            WriteBytes(others.back(), "somebody else's");
        }
        JobResult job = RunJob(url.c_str(), NULL, row.message.empty() ? std::vector<DialogStep>{} : std::vector<DialogStep>{ Box(IDCANCEL) });
        CHECK(job.messages == row.message);
        if (row.message.empty()) {   /* the free name, once the viewer is done with it */
            std::vector<ViewerRun> runs = viewer.Runs(1);
            REQUIRE(runs.size() == 1);
            CHECK(runs[0].commandLine == viewer.CommandLineFor(TempDirectory() + "CVT3.tmp"));
            CHECK(runs[0].data == "our data");
            CHECK(runs[0].deletedFile);
        }
        for (const std::string &other : others) {
            CHECK(ReadBytes(other) == "somebody else's");
            DeleteFileA(other.c_str());
        }
    }
}

TEST_CASE("a viewer that cannot be started is named in the message, and the file is not left behind")
{
    PublishFile("noviewer.prn", "data for nobody");
    std::wstring url = Wide(HttpBase() + "/files/noviewer.prn");
    struct Row {
        std::string appPath;   /* empty: no App Paths key */
        std::string message;
    } rows[] = {
        { "", "Corvala Viewer.exe: File not found." },
        { "C:\\nowhere\\Corvala Viewer.exe", "C:\\nowhere\\Corvala Viewer.exe: Path not found." },
    };
    for (const Row &row : rows) {
        CAPTURE(row.appPath);
        if (row.appPath.empty())
            DeleteViewerAppPaths();
        else
            SetViewerAppPaths(row.appPath, "");
        JobResult job = RunJob(url.c_str(), NULL, { Box(IDOK) });
        CHECK(job.messages == row.message + "\n");
        CHECK_FALSE(FileExists(job.tempFile));
    }
    DeleteViewerAppPaths();
}

TEST_CASE("jobs own their files: two overlapping jobs, and a job that outlives its starter")
{
    std::string first = PatternBytes(30000, 41), second = PatternBytes(25000, 42);
    PublishFile("first.prn", first);
    PublishFile("second.prn", second);
    RecordingViewer viewer(CORV_VIEWER_RECORDER);
    BindHostSite site;
    char firstTemp[TEMP_NAME_CAPACITY] = "", latestTemp[TEMP_NAME_CAPACITY] = "";
    BSTR firstUrl = SysAllocString(Wide(HttpBase() + "/slow/first.prn?chunk=3000&delay=50").c_str());
    BSTR secondUrl = SysAllocString(Wide(HttpBase() + "/slow/second.prn?chunk=5000&delay=30").c_str());
    CHECK(StartJob(firstUrl, static_cast<IServiceProvider *>(&site), firstTemp) == S_OK);
    lstrcpyA(latestTemp, firstTemp);
    CHECK(StartJob(secondUrl, static_cast<IServiceProvider *>(&site), latestTemp) == S_OK);
    /* The starter lets go of everything at once: the jobs carry on. */
    SysFreeString(firstUrl);
    SysFreeString(secondUrl);
    CHECK(site.Release() == 0);
    CHECK(DownloadJobsRunning() == 2);
    PumpUntilJobsEnd();
    CHECK(std::string(latestTemp) != firstTemp);
    std::vector<ViewerRun> runs = viewer.Runs(2);
    REQUIRE(runs.size() == 2);
    std::map<std::string, std::string> handedOver;
    for (const ViewerRun &run : runs)
        handedOver[run.commandLine] = run.data;
    CHECK(handedOver[viewer.CommandLineFor(firstTemp)] == first);
    CHECK(handedOver[viewer.CommandLineFor(latestTemp)] == second);
    CHECK(ModuleLockCount() == 0);
}
