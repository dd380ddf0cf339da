#include "adopt_file.h"

#include <string.h>
#include <wchar.h>
#include <string>
#include <vector>

#include "handles.h"
#include "syscalls.h"
#include "temp_file.h"
#include "wide_text.h"
#include "write_all.h"

namespace {

enum { COPY_BLOCK = 64 * 1024 };

/* A file of the disk with this one name: not a folder, a reparse point (a
   link) or a device, and no other hard link to its data. */
bool IsPlainFile(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info))
        return false;
    const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    return (info.dwFileAttributes & refused) == 0 && info.nNumberOfLinks == 1;
}

/* Renames the open file onto target, replacing what is there. */
BOOL RenameOnto(HANDLE file, const char *target)
{
    std::wstring name = WideFromAnsi(target);
    size_t size = sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t);
    std::vector<unsigned char> block(size, 0);
    FILE_RENAME_INFO *rename = (FILE_RENAME_INFO *)block.data();
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = NULL;
    rename->FileNameLength = (DWORD)(name.size() * sizeof(wchar_t));
    memcpy(rename->FileName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    return SetFileInformationByHandle(file, FileRenameInfo, rename, (DWORD)size);
}

/* Copies the open file's bytes into target (which exists, empty). */
BOOL CopyInto(HANDLE file, const char *target)
{
    ScopedFile copy(CreateFileA(target, GENERIC_WRITE, 0, NULL, TRUNCATE_EXISTING,
                                FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, NULL));
    std::vector<char> block(COPY_BLOCK);
    if (!copy.IsValid())
        return FALSE;
    for (;;) {
        DWORD read = 0;
        if (!osCall(ReadFile)(file, block.data(), COPY_BLOCK, &read, NULL))
            return FALSE;
        if (read == 0)
            return copy.Close();
        if (!WriteFileAll(copy.Get(), block.data(), read))
            return FALSE;
    }
}

BOOL DeleteThrough(HANDLE file)
{
    FILE_DISPOSITION_INFO dispose;
    dispose.DeleteFile = TRUE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof(dispose));
}

} // namespace

AdoptStatus AdoptDownload(const wchar_t *source, TempFile *file, DWORD *error, const char **subject)
{
    ScopedFile download(CreateFileW(source, GENERIC_READ | DELETE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, NULL));
    if (!download.IsValid()) {
        *error = GetLastError();
        return ADOPT_UNOPENED;
    }
    if (!IsPlainFile(download.Get()))
        return ADOPT_NOT_PLAIN;
    /* The temporary name is reserved first: the rename replaces our own
       empty file, never someone else's. */
    if (!file->Create(error, subject))
        return ADOPT_DISK;
    *subject = file->Name();
    if (!file->Close()) {
        *error = GetLastError();
        return ADOPT_DISK;
    }
    if (RenameOnto(download.Get(), file->Name()))
        return ADOPT_OK;
    /* Another volume, or a file system that cannot rename an open file. */
    if (!CopyInto(download.Get(), file->Name()) || !DeleteThrough(download.Get())) {
        *error = GetLastError();
        return ADOPT_DISK;
    }
    return ADOPT_OK;
}

BOOL ReturnDownload(TempFile *file, const wchar_t *source)
{
    std::wstring name = WideFromAnsi(file->Name());
    if (!MoveFileExW(name.c_str(), source, MOVEFILE_COPY_ALLOWED))
        return FALSE;
    return file->HandOff();
}
