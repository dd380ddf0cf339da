/* A temporary file of our own for a spool file on its way to the viewer:
   created with a fresh name in the user's temporary directory, written
   whole, and either closed for the viewer, which deletes it, or discarded.
   A file that was neither handed off nor discarded is discarded when the
   owner goes.  It shows nothing: each caller tells its user in its own way. */
#ifndef CORVALA_TEMP_FILE_H
#define CORVALA_TEMP_FILE_H

#include <windows.h>

#include "handles.h"

enum { TEMP_NAME_CAPACITY = 264 };

class TempFile {
public:
    /* prefix: the name's first three letters, "CVT" for spool files. */
    explicit TempFile(const char *prefix = "CVT") : prefix_(prefix), named_(false) { name_[0] = '\0'; }
    ~TempFile() { Discard(); }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    /* Creates a new file under a name that nobody uses yet (the prefix, up
       to four hex digits, ".tmp").  FALSE with the error code and the text it
       concerns (the directory when no name could be made or every name is
       taken, else the name); nothing is left on disk then, and no file
       that was there before is touched. */
    BOOL Create(DWORD *error, const char **subject);
    /* Appends the whole block; FALSE with the reason in GetLastError. */
    BOOL Write(const void *data, DWORD length);
    /* Closes the file and gives it up: from now on it belongs to whoever
       receives the name.  FALSE with the reason in GetLastError. */
    BOOL HandOff();
    /* Closes the file but keeps it: it is still deleted by Discard or when
       the owner goes.  FALSE with the reason in GetLastError. */
    BOOL Close() { return file_.Close(); }
    /* Closes and deletes the file, if there still is one. */
    void Discard();

    const char *Name() const { return name_; }

private:
    const char *prefix_;
    ScopedFile file_;
    bool named_;              /* a file of ours is on disk under name_ */
    char directory_[TEMP_NAME_CAPACITY];
    char name_[TEMP_NAME_CAPACITY];
};

#endif
