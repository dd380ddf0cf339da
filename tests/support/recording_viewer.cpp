#include "recording_viewer.h"

#include <algorithm>
#include <string.h>

#include "testbed.h"

namespace testbed {

RecordingViewer::RecordingViewer(const char *recorder, const char *label)
{
    path = MakeScratchDir(label) + "\\Corvala Viewer.exe";
    CopyFileA(WinePath(recorder).c_str(), path.c_str(), FALSE);
    records = MakeScratchDir((std::string(label) + "-runs").c_str());
    SetEnvironmentVariableA("CORV_VIEWER_RECORD_DIR", records.c_str());
    SetViewerAppPaths(path, "");
}

RecordingViewer::~RecordingViewer()
{
    DeleteViewerAppPaths();
}

/* The records' base names, in run order. */
std::vector<std::string> RecordingViewer::RecordNames()
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((records + "\\*.cmd").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        names.push_back(std::string(found.cFileName, strlen(found.cFileName) - 4));
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<ViewerRun> RecordingViewer::Runs(size_t expected, DWORD ms)
{
    std::vector<std::string> names;
    for (DWORD start = GetTickCount();; Sleep(50)) {
        names = RecordNames();
        if (names.size() >= expected || GetTickCount() - start > ms)
            break;
    }
    std::vector<ViewerRun> runs;
    for (const std::string &name : names) {
        std::string record = ReadBytes(records + "\\" + name + ".cmd");
        size_t line = record.find('\n');
        runs.push_back(ViewerRun{ record.substr(0, line), ReadBytes(records + "\\" + name + ".dat"),
                                  line != std::string::npos && record.compare(line + 1, 7, "deleted") == 0 });
    }
    return runs;
}

void RecordingViewer::Forget()
{
    for (const std::string &name : RecordNames()) {
        DeleteFileA((records + "\\" + name + ".cmd").c_str());
        DeleteFileA((records + "\\" + name + ".dat").c_str());
    }
}

std::string RecordingViewer::CommandLineFor(const std::string &file) const
{
    return "\"" + path + "\" \"" + file + "\" -d";
}

} // namespace testbed
