/* Taking a finished download over as a temporary file of our own before
   the viewer sees it.  The file is opened once, without following a link,
   and the same handle is checked and then renamed onto the temporary
   file's name (or, where the rename cannot be done, copied and deleted
   through it): nobody can swap the file between the check and the move. */
#ifndef CORVALA_PRINTHOST_ADOPT_FILE_H
#define CORVALA_PRINTHOST_ADOPT_FILE_H

#include <windows.h>

class TempFile;

enum AdoptStatus {
    ADOPT_OK,          /* the bytes are in file, closed; the download is gone */
    ADOPT_UNOPENED,    /* refused: the download could not be opened (error) */
    ADOPT_NOT_PLAIN,   /* refused: a folder, a link, a device, a file with other names */
    ADOPT_DISK         /* the download is untouched; error and subject tell why */
};

/* Takes source over into file, a TempFile not yet created. */
AdoptStatus AdoptDownload(const wchar_t *source, TempFile *file, DWORD *error, const char **subject);

/* Moves the taken file back to source (the user keeps their download);
   the file then belongs to source.  FALSE with the reason in GetLastError. */
BOOL ReturnDownload(TempFile *file, const wchar_t *source);

#endif
