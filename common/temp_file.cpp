#include "temp_file.h"

#include <string.h>

#include "syscalls.h"
#include "write_all.h"

#define TEMP_PATH_CAPACITY 261
#define TEMP_FILE_FLAGS (FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN)
#define TEMP_UNIQUE_NUMBERS 0xFFFF

/* Unique numbers of this process, one per name tried: they start at a
   value of the moment and go round all 65,535 numbers the name can hold. */
static LONG g_uniqueSeed;
static LONG g_uniqueNext;

static UINT NextUnique()
{
    if (InterlockedCompareExchange(&g_uniqueSeed, 0, 0) == 0)
        InterlockedCompareExchange(&g_uniqueSeed, (LONG)(GetTickCount() ^ (GetCurrentProcessId() << 8)) | 1, 0);
    for (;;) {
        UINT unique = (UINT)(g_uniqueSeed + InterlockedIncrement(&g_uniqueNext)) & 0xFFFF;
        if (unique != 0)
            return unique;
    }
}

/* A name that is taken already: somebody else's file (or folder). */
static BOOL IsTaken(DWORD error)
{
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

/* The name is made from a number of our own and the file created only if
   it does not exist yet, so that the file written and handed on is always
   one this call made; a name that is taken moves on to the next number. */
BOOL TempFile::Create(DWORD *error, const char **subject)
{
    /* A directory too long for the buffer is not written there at all. */
    DWORD length = osCall(GetTempPathA)(TEMP_PATH_CAPACITY, directory_);
    if (length == 0 || length >= TEMP_PATH_CAPACITY)
        strcpy(directory_, ".");
    for (UINT tries = 0; tries < TEMP_UNIQUE_NUMBERS; tries++) {
        if (!osCall(GetTempFileNameA)(directory_, prefix_, NextUnique(), name_)) {
            *error = GetLastError();
            *subject = directory_;
            name_[0] = '\0';
            return FALSE;
        }
        file_.Reset(CreateFileA(name_, GENERIC_WRITE, 0, NULL, CREATE_NEW, TEMP_FILE_FLAGS, NULL));
        if (file_.IsValid()) {
            named_ = true;
            return TRUE;
        }
        *error = GetLastError();
        if (!IsTaken(*error)) {
            *subject = name_;
            return FALSE;
        }
    }
    /* Every name is taken. */
    *error = ERROR_FILE_EXISTS;
    *subject = directory_;
    name_[0] = '\0';
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
