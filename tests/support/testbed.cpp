#include "testbed.h"

#include <winspool.h>
#include <wininet.h>

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>

namespace testbed {

std::string Env(const char *name, const char *fallback)
{
    const char *value = getenv(name);
    return value != NULL && value[0] != '\0' ? std::string(value) : std::string(fallback);
}

std::string WinePath(const std::string &unixPath)
{
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string ReadBytes(const std::string &path)
{
    std::string data;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return data;
    char block[65536];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof(block), &got, NULL) && got > 0)
        data.append(block, got);
    CloseHandle(file);
    return data;
}

bool WriteBytes(const std::string &path, const std::string &data)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < data.size()) {
        DWORD chunk = (DWORD)std::min<size_t>(data.size() - done, 1 << 20);
        DWORD written = 0;
        ok = WriteFile(file, data.data() + done, chunk, &written, NULL) && written == chunk;
        done += written;
    }
    CloseHandle(file);
    return ok;
}

int CountTempFiles(const char *prefix)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string pattern = std::string(dir) + prefix + "*";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do {
        count++;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string MakeScratchDir(const char *label)
{
    static unsigned counter;
    std::string root = Env("CORV_SCRATCH_DIR");
    if (root.empty()) {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        root = temp;
    } else {
        root = WinePath(root);
    }
    if (root.back() != '\\')
        root += '\\';
    char name[128];
    /* Process ids and counters repeat between runs; the clock does not. */
    snprintf(name, sizeof(name), "%s-%lu-%llu-%u", label, GetCurrentProcessId(),
             (unsigned long long)GetTickCount64(), ++counter);
    std::string dir = root + name;
    CreateDirectoryA(root.c_str(), NULL);
    CreateDirectoryA(dir.c_str(), NULL);
    return dir;
}

std::string MakeScratchFile(const char *name, const std::string &data)
{
    std::string path = MakeScratchDir("file") + "\\" + name;
    WriteBytes(path, data);
    return path;
}

std::string Repeated(const std::string &data, int copies)
{
    std::string all;
    for (int i = 0; i < copies; i++)
        all += data;
    return all;
}

std::string PatternBytes(size_t size, unsigned seed)
{
    std::string data(size, '\0');
    unsigned state = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < size; i++) {
        state = state * 1103515245u + 12345u;
        data[i] = (char)(state >> 16);
    }
    return data;
}

/* --- the sandbox printer ------------------------------------------- */

std::string PrinterName()
{
    return Env("CORV_PRINTER", "Corvala Sandbox");
}

static std::string SpoolDir()
{
    return WinePath(Env("CORV_SPOOL_DIR", "/tmp/corvala-spool"));
}

std::vector<std::string> SpoolJobs()
{
    std::vector<std::string> jobs;
    std::string dir = SpoolDir();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\job-*.prn").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return jobs;
    do {
        jobs.push_back(dir + "\\" + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(jobs.begin(), jobs.end());
    return jobs;
}

std::vector<std::string> NewSpoolJobs(size_t before, size_t expected)
{
    /* The port command runs in a shell of its own; give it time to finish. */
    std::vector<std::string> jobs;
    for (int i = 0; i < 100; i++) {
        jobs = SpoolJobs();
        if (jobs.size() >= before + expected)
            break;
        Sleep(50);
    }
    if (expected == 0)
        Sleep(300), jobs = SpoolJobs();
    Sleep(100); /* let the last writer close */
    if (jobs.size() <= before)
        return std::vector<std::string>();
    return std::vector<std::string>(jobs.begin() + before, jobs.end());
}

static const char kDriverName[] = "Wine PostScript Driver";
static const char kPpdName[] = "corvala-sandbox.ppd";

static const char kPpd[] =
    "*PPD-Adobe: \"4.3\"\n"
    "*FormatVersion: \"4.3\"\n"
    "*FileVersion: \"1.0\"\n"
    "*LanguageVersion: English\n"
    "*LanguageEncoding: ISOLatin1\n"
    "*PCFileName: \"CORVALA.PPD\"\n"
    "*Manufacturer: \"Corvala\"\n"
    "*Product: \"(Sandbox)\"\n"
    "*ModelName: \"Corvala Sandbox\"\n"
    "*NickName: \"Corvala Sandbox\"\n"
    "*ColorDevice: False\n"
    "*DefaultColorSpace: Gray\n"
    "*OpenUI *PageSize: PickOne\n"
    "*DefaultPageSize: Letter\n"
    "*PageSize Letter/US Letter: \"<</PageSize[612 792]>>setpagedevice\"\n"
    "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
    "*CloseUI: *PageSize\n"
    "*DefaultImageableArea: Letter\n"
    "*ImageableArea Letter/US Letter: \"18 36 594 756\"\n"
    "*ImageableArea A4/A4: \"18 36 577 806\"\n"
    "*DefaultPaperDimension: Letter\n"
    "*PaperDimension Letter/US Letter: \"612 792\"\n"
    "*PaperDimension A4/A4: \"595 842\"\n";

static bool InstallDriver()
{
    char dir[MAX_PATH];
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryA(NULL, NULL, 1, (BYTE *)dir, sizeof(dir), &needed))
        return false;
    std::string ppd = std::string(dir) + "\\" + kPpdName;
    if (!WriteBytes(ppd, kPpd))
        return false;

    DRIVER_INFO_3A info = {};
    info.cVersion = 3;
    info.pName = (LPSTR)kDriverName;
    info.pEnvironment = NULL;
    info.pDriverPath = (LPSTR) "wineps.drv";
    info.pConfigFile = (LPSTR) "wineps.drv";
    info.pDataFile = (LPSTR)kPpdName;
    info.pDefaultDataType = (LPSTR) "RAW";
    return AddPrinterDriverExA(NULL, 3, (BYTE *)&info, APD_COPY_NEW_FILES) ||
           GetLastError() == ERROR_PRINTER_DRIVER_ALREADY_INSTALLED;
}

static bool SetPortCommand(const std::string &portCommand)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Printing\\Spooler", 0, NULL, 0, KEY_WRITE, NULL,
                        &key, NULL) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExA(key, "LPT1:", 0, REG_SZ, (const BYTE *)portCommand.c_str(),
                                 (DWORD)portCommand.size() + 1);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

static bool AddQueue()
{
    std::string name = PrinterName();
    PRINTER_INFO_2A info = {};
    info.pPrinterName = (LPSTR)name.c_str();
    info.pPortName = (LPSTR) "LPT1:";
    info.pDriverName = (LPSTR)kDriverName;
    info.pPrintProcessor = (LPSTR) "winprint";
    info.pDatatype = (LPSTR) "RAW";
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE printer = AddPrinterA(NULL, 2, (BYTE *)&info);
    if (printer == NULL && GetLastError() != ERROR_PRINTER_ALREADY_EXISTS)
        return false;
    if (printer != NULL)
        ClosePrinter(printer);
    return SetDefaultPrinterA(name.c_str()) != FALSE;
}

bool AddSandboxPrinter(const std::string &portCommand)
{
    return InstallDriver() && SetPortCommand(portCommand) && AddQueue();
}

bool RemoveSandboxPrinter()
{
    std::string name = PrinterName();
    HANDLE printer = NULL;
    PRINTER_DEFAULTSA access = { NULL, NULL, PRINTER_ALL_ACCESS };
    if (!OpenPrinterA((LPSTR)name.c_str(), &printer, &access))
        return false;
    BOOL ok = DeletePrinter(printer);
    ClosePrinter(printer);
    return ok != FALSE;
}

bool RestoreSandboxPrinter()
{
    return AddQueue();
}

bool SetPrinterDefaultCopies(short copies)
{
    std::string name = PrinterName();
    HANDLE printer = NULL;
    PRINTER_DEFAULTSA access = { NULL, NULL, PRINTER_ALL_ACCESS };
    if (!OpenPrinterA((LPSTR)name.c_str(), &printer, &access))
        return false;
    bool ok = false;
    DWORD needed = 0;
    GetPrinterA(printer, 9, NULL, 0, &needed);
    std::vector<BYTE> buffer(needed + 1);
    PRINTER_INFO_9A *info = (PRINTER_INFO_9A *)buffer.data();
    if (needed != 0 && GetPrinterA(printer, 9, buffer.data(), needed, &needed) && info->pDevMode != NULL) {
        info->pDevMode->dmCopies = copies;
        info->pDevMode->dmFields |= DM_COPIES;
        ok = SetPrinterA(printer, 9, buffer.data(), 0) != FALSE;
    } else {
        /* No per-user defaults yet: start from the driver's. */
        LONG size = DocumentPropertiesA(NULL, printer, (LPSTR)name.c_str(), NULL, NULL, 0);
        if (size > 0) {
            std::vector<BYTE> devmode(size);
            DEVMODEA *dm = (DEVMODEA *)devmode.data();
            if (DocumentPropertiesA(NULL, printer, (LPSTR)name.c_str(), dm, NULL, DM_OUT_BUFFER) == IDOK) {
                dm->dmCopies = copies;
                dm->dmFields |= DM_COPIES;
                PRINTER_INFO_9A set = { dm };
                ok = SetPrinterA(printer, 9, (BYTE *)&set, 0) != FALSE;
            }
        }
    }
    ClosePrinter(printer);
    return ok;
}

/* --- registry -------------------------------------------------------- */

static const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Corvala Viewer.exe";

bool SetViewerAppPaths(const std::string &fullPath, const std::string &directory)
{
    DeleteViewerAppPaths();
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return false;
    bool ok = true;
    if (!fullPath.empty())
        ok &= RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE *)fullPath.c_str(),
                             (DWORD)fullPath.size() + 1) == ERROR_SUCCESS;
    if (!directory.empty())
        ok &= RegSetValueExA(key, "Path", 0, REG_SZ, (const BYTE *)directory.c_str(),
                             (DWORD)directory.size() + 1) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool DeleteViewerAppPaths()
{
    LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathsKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

static LONG DeleteTree(HKEY parent, const char *sub)
{
    HKEY key;
    if (RegOpenKeyExA(parent, sub, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return ERROR_FILE_NOT_FOUND;
    char child[256];
    while (RegEnumKeyA(key, 0, child, sizeof(child)) == ERROR_SUCCESS) {
        if (DeleteTree(key, child) != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, sub);
}

std::string FreshTestKey(const char *sub)
{
    std::string relative = std::string("Software\\CorvalaTests\\") + sub;
    DeleteTree(HKEY_CURRENT_USER, relative.c_str());
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, relative.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) ==
        ERROR_SUCCESS)
        RegCloseKey(key);
    return "HKEY_CURRENT_USER\\" + relative;
}

bool SetRegValue(const std::string &keyPath, const char *name, DWORD type, const void *data, DWORD size)
{
    const std::string prefix = "HKEY_CURRENT_USER\\";
    if (keyPath.compare(0, prefix.size(), prefix) != 0)
        return false;
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str() + prefix.size(), 0, NULL, 0, KEY_WRITE, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExA(key, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

/* --- HTTP ----------------------------------------------------------- */

std::string HttpBase()
{
    return "http://127.0.0.1:" + Env("CORV_HTTP_PORT", "8765");
}

std::string PublishFile(const std::string &name, const std::string &data)
{
    std::string root = WinePath(Env("CORV_HTTP_ROOT", "/tmp/corvala-http"));
    CreateDirectoryA(root.c_str(), NULL);
    WriteBytes(root + "\\" + name, data);
    return HttpBase() + "/files/" + name;
}

int HttpRequestCount(const std::string &path)
{
    std::string url = HttpBase() + "/stats" + path;
    HINTERNET session = InternetOpenA("corvala-tests", INTERNET_OPEN_TYPE_DIRECT, NULL, NULL, 0);
    if (session == NULL)
        return -1;
    int count = -1;
    HINTERNET request = InternetOpenUrlA(session, url.c_str(), NULL, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (request != NULL) {
        char text[32] = {};
        DWORD got = 0;
        if (InternetReadFile(request, text, sizeof(text) - 1, &got))
            count = atoi(text);
        InternetCloseHandle(request);
    }
    InternetCloseHandle(session);
    return count;
}

/* --- processes ------------------------------------------------------ */

int RunProcess(const std::string &application, const std::string &commandLine, DWORD timeoutMs)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(application.empty() ? NULL : application.c_str(), line.data(), NULL, NULL, FALSE, 0,
                        NULL, NULL, &startup, &process))
        return -1;
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return (int)code;
}

std::string ProgramDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string dir(path, length);
    size_t slash = dir.find_last_of('\\');
    return slash == std::string::npos ? dir : dir.substr(0, slash);
}

} // namespace testbed
