#include "temp_file.h"

#include <string.h>

#include "syscalls.h"
#include "write_all.h"

#define TEMP_PATH_CAPACITY 261
#define TEMP_FILE_FLAGS (FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN)

static const char kTempPrefix[] = "CVT";

BOOL TempFile::Create(DWORD *error, const char **subject)
{
    /* A directory too long for the buffer is not written there at all. */
    DWORD length = osCall(GetTempPathA)(TEMP_PATH_CAPACITY, directory_);
    if (length == 0 || length >= TEMP_PATH_CAPACITY)
        strcpy(directory_, ".");
    if (!osCall(GetTempFileNameA)(directory_, kTempPrefix, 0, name_)) {
        *error = GetLastError();
        *subject = directory_;
        name_[0] = '\0';
        return FALSE;
    }
    named_ = true;
    file_.Reset(CreateFileA(name_, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, TEMP_FILE_FLAGS, NULL));
    if (file_.IsValid())
        return TRUE;
    *error = GetLastError();
    *subject = name_;
    /* The empty file the name was reserved with must not stay behind. */
    DeleteFileA(name_);
    named_ = false;
    return FALSE;
}

BOOL TempFile::Write(const void *data, DWORD length)
{
    return WriteFileAll(file_.Get(), data, length);
}

BOOL TempFile::HandOff()
{
    BOOL closed = file_.Close();
    if (closed)
        named_ = false;
    return closed;
}

void TempFile::Discard()
{
    file_.Close();
    if (named_)
        DeleteFileA(name_);
    named_ = false;
}
