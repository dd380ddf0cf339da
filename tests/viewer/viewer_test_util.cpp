#include "viewer_test_util.h"

#include "faults.h"
#include "messages.h"
#include "syscalls.h"
#include "testbed.h"

#include <winspool.h>

namespace viewertest {

int RunViewerArgs(const std::vector<std::string> &args)
{
    /* Arguments in UTF-8, as the user typed them; the ANSI vector is what
       the runtime makes of them (best-fit characters included). */
    std::vector<std::wstring> wide{ L"viewer" };
    std::vector<std::string> storage{ "viewer" };
    for (const std::string &arg : args) {
        wchar_t w[4096] = {};
        char a[4096] = {};
        MultiByteToWideChar(CP_UTF8, 0, arg.c_str(), -1, w, 4096);
        WideCharToMultiByte(CP_ACP, 0, w, -1, a, sizeof(a), NULL, NULL);
        wide.push_back(w);
        storage.push_back(a);
    }
    std::vector<char *> argv;
    for (std::string &arg : storage)
        argv.push_back(&arg[0]);
    argv.push_back(NULL);
    std::vector<wchar_t *> wideArgv;
    for (std::wstring &arg : wide)
        wideArgv.push_back(&arg[0]);
    return RunViewer(GetModuleHandleA(NULL), (int)storage.size(), argv.data(), (int)wide.size(), wideArgv.data());
}

std::string ViewerExe()
{
    return testbed::WinePath(CORV_VIEWER_EXE);
}

/* --- the real program, answered from outside ------------------------- */

struct WindowSearch {
    DWORD processId;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectProcessDialogs(HWND window, LPARAM param)
{
    WindowSearch *search = (WindowSearch *)param;
    DWORD owner = 0;
    char cls[16];
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) && GetClassNameA(window, cls, sizeof(cls)) &&
        lstrcmpA(cls, "#32770") == 0)
        search->found.push_back(window);
    return TRUE;
}

static std::string WindowText(HWND window)
{
    char text[8192] = {};
    if (window != NULL)
        SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), (LPARAM)text, SMTO_ABORTIFHUNG, 2000, NULL);
    return text;
}

ProcessRun RunAnswered(const std::string &commandLine, DWORD timeoutMs)
{
    ProcessRun run{ -1, {}, {} };
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return run;
    std::vector<HWND> answered;
    DWORD start = GetTickCount();
    while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > timeoutMs) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
        WindowSearch search{ process.dwProcessId, {} };
        EnumWindows(CollectProcessDialogs, (LPARAM)&search);
        for (HWND dialog : search.found) {
            bool seen = false;
            for (HWND old : answered)
                seen = seen || old == dialog;
            if (seen && IsWindow(dialog))
                continue;
            Sleep(100); /* let it finish its initialisation */
            answered.push_back(dialog);
            run.titles.push_back(WindowText(dialog));
            HWND message = GetDlgItem(dialog, 0xFFFF);
            if (message != NULL)
                run.messages.push_back(WindowText(message));
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(dialog, IDOK));
        }
    }
    DWORD code = (DWORD)-1;
    if (GetExitCodeProcess(process.hProcess, &code) && code != STILL_ACTIVE && code != 99)
        run.exitCode = (int)code;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

/* --- spooler spy ----------------------------------------------------- */

int SpoolerSpy::startDocs, SpoolerSpy::startPages, SpoolerSpy::endPages, SpoolerSpy::endDocs, SpoolerSpy::aborts;
std::string SpoolerSpy::docName, SpoolerSpy::dataType;
std::vector<DWORD> SpoolerSpy::writeSizes;

static DWORD WINAPI SpyStartDoc(HANDLE printer, DWORD level, LPBYTE info)
{
    SpoolerSpy::startDocs++;
    DOC_INFO_1A *doc = (DOC_INFO_1A *)info;
    SpoolerSpy::docName = doc->pDocName != NULL ? doc->pDocName : "(null)";
    SpoolerSpy::dataType = doc->pDatatype != NULL ? doc->pDatatype : "(null)";
    return StartDocPrinterA(printer, level, info);
}
static BOOL WINAPI SpyStartPage(HANDLE printer)
{
    SpoolerSpy::startPages++;
    return StartPagePrinter(printer);
}
static BOOL WINAPI SpyEndPage(HANDLE printer)
{
    SpoolerSpy::endPages++;
    return EndPagePrinter(printer);
}
static BOOL WINAPI SpyEndDoc(HANDLE printer)
{
    SpoolerSpy::endDocs++;
    return EndDocPrinter(printer);
}
static BOOL WINAPI SpyAbort(HANDLE printer)
{
    SpoolerSpy::aborts++;
    return AbortPrinter(printer);
}
static BOOL WINAPI SpyWrite(HANDLE printer, LPVOID data, DWORD size, LPDWORD written)
{
    SpoolerSpy::writeSizes.push_back(size);
    return WritePrinter(printer, data, size, written);
}

SpoolerSpy::SpoolerSpy()
{
    startDocs = startPages = endPages = endDocs = aborts = 0;
    docName.clear();
    dataType.clear();
    writeSizes.clear();
    SetSysCall("StartDocPrinterA", testbed::AsProc(SpyStartDoc));
    SetSysCall("StartPagePrinter", testbed::AsProc(SpyStartPage));
    SetSysCall("EndPagePrinter", testbed::AsProc(SpyEndPage));
    SetSysCall("EndDocPrinter", testbed::AsProc(SpyEndDoc));
    SetSysCall("WritePrinter", testbed::AsProc(SpyWrite));
    SetSysCall("AbortPrinter", testbed::AsProc(SpyAbort));
}

SpoolerSpy::~SpoolerSpy()
{
    const char *rows[] = { "StartDocPrinterA", "StartPagePrinter", "EndPagePrinter", "EndDocPrinter",
                           "WritePrinter", "AbortPrinter" };
    for (const char *row : rows)
        SetSysCall(row, NULL);
}

void LetAbandonedDocumentLand(size_t before)
{
    testbed::NewSpoolJobs(before, 1);
}

std::string FirstLine(const std::string &text)
{
    return text.substr(0, text.find('\n'));
}

std::string SystemText(DWORD error)
{
    char *text = NULL;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, NULL, error, 0x0400,
                   (char *)&text, 0, NULL);
    std::string result = text != NULL ? text : "";
    LocalFree(text);
    return result;
}

} // namespace viewertest

namespace {
/* Test programs show the module's own texts, like the program at start. */
struct ResourcesAtStart {
    ResourcesAtStart()
    {
        InitResources(GetModuleHandleA(NULL));
        LoadCaption(IDS_APP_TITLE);
    }
} g_resourcesAtStart;
} // namespace
