/* The one kind of path a message may name: a download the extension
   finished, under the name it gave it.  Only the text is judged here (free
   of Windows calls, fuzzed); the file itself is checked when it is taken
   over. */
#ifndef CORVALA_PRINTHOST_DOWNLOAD_PATH_H
#define CORVALA_PRINTHOST_DOWNLOAD_PATH_H

#include <stddef.h>

enum { MAX_DOWNLOAD_PATH_BYTES = 1024 };

/* path (UTF-8, length bytes) is absolute, on a drive ("X:\...") or a share
   ("\\server\share\..."), and its last component is "<something>.cvep"
   (any case) or, for a download the extension named after its job,
   "<job>.<ext>" or "<job> (<n>).<ext>" (ext: 1 to 8 letters or digits).  Refused: device paths ("\\.\", "\\?\"), empty, "." and ".."
   components or ones that end in a dot or a blank, DOS device names (CON,
   PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, with or without an
   extension), stream names, wildcards, forward slashes, control characters,
   anything that is not UTF-8, and paths longer than MAX_DOWNLOAD_PATH_BYTES. */
bool IsDownloadPath(const char *path, size_t length, const char *job = NULL);

#endif
