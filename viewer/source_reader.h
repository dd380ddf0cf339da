/*
 * The source as the copy loop sees it: a file that is rewound between
 * copies, or a URL that is read once.  When a URL must be copied more than
 * once, its data is kept in a temporary file as it arrives and the later
 * copies come from there, so every copy carries exactly the bytes of the
 * first and memory stays one block whatever the size.
 */
#ifndef CORVALA_SOURCE_READER_H
#define CORVALA_SOURCE_READER_H

#include "handles.h"
#include "viewer.h"

enum ReadOutcome {
    READ_OK,       /* a block, or the end of the data with a count of 0 */
    READ_FAILED,   /* the caller reports it; GetLastError holds the reason */
    READ_REPORTED  /* failed and already reported (the temporary file) */
};

#define SPILL_PREFIX "CVV"

class ReplaySource {
public:
    ReplaySource(HANDLE sourceFile, HINTERNET url, int copies);
    /* Closes and deletes the temporary file if there is one. */
    ~ReplaySource();
    ReplaySource(const ReplaySource &) = delete;
    ReplaySource &operator=(const ReplaySource &) = delete;

    /* Creates the temporary file a URL read more than once needs; reports
       a failure itself and returns FALSE. */
    BOOL Prepare();
    ReadOutcome Read(void *buffer, DWORD size, DWORD *count);
    /* Starts the data again from its beginning; FALSE with GetLastError. */
    BOOL Rewind();
    /* Path of the temporary file, empty when there is none. */
    const char *SpillPath() const { return spillPath_; }

private:
    ReadOutcome ReadUrlBlock(void *buffer, DWORD size, DWORD *count);

    HANDLE file_;
    HINTERNET url_;
    int copies_;
    ScopedFile spill_;
    char spillPath_[MAX_PATH];
    BOOL replaying_;
    ULONGLONG received_;
    ULONGLONG announced_; /* the server's Content-Length, or ~0 when unknown */
};

#endif
