/* The temporary file a download job writes: created with a fresh name in the
   user's temporary directory, written whole, and either closed for the
   viewer, which deletes it, or discarded.  A file that was neither handed
   off nor discarded is discarded when the owner goes. */
#ifndef CORVALA_AX_TEMP_FILE_H
#define CORVALA_AX_TEMP_FILE_H

#include <windows.h>

#include "download_job.h"
#include "handles.h"

class TempFile {
public:
    TempFile() : named_(false) { name_[0] = '\0'; }
    ~TempFile() { Discard(); }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    /* Asks for a new name and opens the file, offering Retry and Cancel when
       that fails.  FALSE when the user cancelled: nothing is left on disk. */
    BOOL CreateWithRetry();
    /* Appends the whole block; FALSE with the reason in GetLastError. */
    BOOL Write(const void *data, DWORD length);
    /* Closes the file and gives it up: from now on it belongs to whoever
       receives the name.  FALSE with the reason in GetLastError. */
    BOOL HandOff();
    /* Closes and deletes the file, if there still is one. */
    void Discard();

    const char *Name() const { return name_; }

private:
    BOOL TryCreate(DWORD *error, const char **subject);

    ScopedFile file_;
    bool named_;              /* a file of ours is on disk under name_ */
    char directory_[TEMP_NAME_CAPACITY];
    char name_[TEMP_NAME_CAPACITY];
};

#endif
