#include "source_reader.h"

#include "messages.h"
#include "syscalls.h"
#include "write_all.h"

#include <shlwapi.h>
#include <stdlib.h>

#define NO_LENGTH (~(ULONGLONG)0)

BOOL ReadSource(HANDLE sourceFile, HINTERNET url, void *buffer, DWORD size, DWORD *count)
{
    *count = 0;
    if (sourceFile != INVALID_HANDLE_VALUE)
        return osCall(ReadFile)(sourceFile, buffer, size, count, NULL);
    if (url != NULL)
        return osCall(InternetReadFile)(url, buffer, size, count);
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

/* A chunked body marks its own end; a Content-Length beside it does not
   count (HTTP/1.1). */
static bool IsChunked(HINTERNET url)
{
    char coding[64] = "";
    DWORD size = sizeof(coding);
    return HttpQueryInfoA(url, HTTP_QUERY_TRANSFER_ENCODING, coding, &size, NULL) &&
           StrStrIA(coding, "chunked") != NULL;
}

/* The length the server announced for the body, so that a connection closed
   early is not taken for the end of the data. */
static ULONGLONG AnnouncedLength(HINTERNET url)
{
    char text[32] = "";
    DWORD size = sizeof(text);
    if (url == NULL || IsChunked(url) || !HttpQueryInfoA(url, HTTP_QUERY_CONTENT_LENGTH, text, &size, NULL) || text[0] == '\0')
        return NO_LENGTH;
    char *end = NULL;
    ULONGLONG length = _strtoui64(text, &end, 10);
    return end != text ? length : NO_LENGTH;
}

ReplaySource::ReplaySource(HANDLE sourceFile, HINTERNET url, int copies)
    : file_(sourceFile), url_(url), copies_(copies), replaying_(FALSE), received_(0),
      announced_(sourceFile == INVALID_HANDLE_VALUE ? AnnouncedLength(url) : NO_LENGTH)
{
    spillPath_[0] = '\0';
}

ReplaySource::~ReplaySource()
{
    if (spill_.IsValid()) {
        spill_.Close();
        DeleteFileA(spillPath_); /* normally gone already: delete on close */
    }
}

BOOL ReplaySource::Prepare()
{
    if (file_ != INVALID_HANDLE_VALUE || url_ == NULL || copies_ < 2)
        return TRUE;
    char dir[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, dir);
    if (length == 0 || length >= MAX_PATH)
        lstrcpyA(dir, ".");
    if (osCall(GetTempFileNameA)(dir, SPILL_PREFIX, 0, spillPath_) == 0) {
        DWORD error = GetLastError();
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, error, dir, MB_ICONEXCLAMATION | MB_OK);
        spillPath_[0] = '\0';
        return FALSE;
    }
    spill_.Reset(CreateFileA(spillPath_, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_SEQUENTIAL_SCAN,
                             NULL));
    if (!spill_.IsValid()) {
        DWORD error = GetLastError();
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, error, spillPath_, MB_ICONEXCLAMATION | MB_OK);
        DeleteFileA(spillPath_);
        return FALSE;
    }
    return TRUE;
}

ReadOutcome ReplaySource::ReadUrlBlock(void *buffer, DWORD size, DWORD *count)
{
    if (!ReadSource(INVALID_HANDLE_VALUE, url_, buffer, size, count))
        return READ_FAILED;
    received_ += *count;
    if (*count == 0 && announced_ != NO_LENGTH && received_ < announced_) {
        /* The connection ended before the body was complete. */
        SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
        return READ_FAILED;
    }
    if (*count > 0 && spill_.IsValid() && !WriteFileAll(spill_.Get(), buffer, *count)) {
        ShowSystemErrorFor(NULL, IDS_WRITE_DISK_ERROR, GetLastError(), spillPath_, MB_ICONEXCLAMATION | MB_OK);
        return READ_REPORTED;
    }
    return READ_OK;
}

ReadOutcome ReplaySource::Read(void *buffer, DWORD size, DWORD *count)
{
    if (replaying_)
        return ReadSource(spill_.Get(), NULL, buffer, size, count) ? READ_OK : READ_FAILED;
    if (file_ != INVALID_HANDLE_VALUE || url_ == NULL)
        return ReadSource(file_, url_, buffer, size, count) ? READ_OK : READ_FAILED;
    return ReadUrlBlock(buffer, size, count);
}

BOOL ReplaySource::Rewind()
{
    HANDLE file = file_;
    if (file == INVALID_HANDLE_VALUE) {
        if (!spill_.IsValid()) {
            SetLastError(ERROR_SEEK); /* a URL cannot be read twice */
            return FALSE;
        }
        file = spill_.Get();
        replaying_ = TRUE;
    }
    SetLastError(NO_ERROR);
    return osCall(SetFilePointer)(file, 0, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER ||
           GetLastError() == NO_ERROR;
}
