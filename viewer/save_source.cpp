/* Saving to a file the user names: the data once per copy and nothing else. */
#include "ansi_names.h"
#include "copy_loop.h"
#include "messages.h"
#include "syscalls.h"
#include "write_all.h"

#define MESSAGE_STYLE (MB_ICONEXCLAMATION | MB_OK)

namespace {

class FileDestination : public CopyDestination {
public:
    FileDestination(HANDLE file, const char *path) : file_(file), path_(path) {}

    BOOL Write(const void *data, DWORD size) override
    {
        return WriteFileAll(file_, data, size);
    }
    void ReportReadFailure(DWORD error) override
    {
        ShowSystemErrorFor(NULL, IDS_READ_INPUT_ERROR, error, path_, MESSAGE_STYLE);
    }
    void ReportWriteFailure(DWORD error) override
    {
        ShowSystemErrorFor(NULL, IDS_WRITE_DISK_ERROR, error, path_, MESSAGE_STYLE);
    }

private:
    HANDLE file_;
    const char *path_;
};

} // namespace

JobEnd SaveSource(HANDLE sourceFile, HINTERNET url, int copies)
{
    char path[MAX_PATH];
    SaveChoice choice = AskSaveFileName(NULL, path, MAX_PATH);
    if (choice == SAVE_CANCELLED)
        return JOB_CANCELLED;
    if (choice == SAVE_NAME_NOT_ANSI) {
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, GetLastError(), path, MESSAGE_STYLE);
        return JOB_FAILED;
    }
    return WriteSourceToFile(sourceFile, url, copies, path) ? JOB_SAVED : JOB_FAILED;
}

BOOL WriteSourceToFile(HANDLE sourceFile, HINTERNET url, int copies, const char *path)
{
    ReplaySource source(sourceFile, url, copies);
    if (!source.Prepare())
        return FALSE;

    ScopedFile output(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, NULL));
    if (!output.IsValid()) {
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, GetLastError(), path, MESSAGE_STYLE);
        return FALSE;
    }
    FileDestination destination(output.Get(), path);
    if (!CopyLoop(source, copies, destination)) {
        /* No half-written file is left under the name the user chose (a
           device the name may stand for is left alone). */
        BOOL diskFile = GetFileType(output.Get()) == FILE_TYPE_DISK;
        output.Close();
        if (diskFile)
            DeleteFileA(path);
        return FALSE;
    }
    return TRUE;
}
