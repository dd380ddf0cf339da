/* Writing a whole block to a spooler document or a file.  A call that takes
   only part of the block is repeated for the rest, so no byte is dropped
   silently; a call that takes nothing is a failure. */
#ifndef CORVALA_WRITE_ALL_H
#define CORVALA_WRITE_ALL_H

#include <windows.h>

/* FALSE on failure, with the reason in GetLastError (ERROR_WRITE_FAULT when
   the spooler accepted nothing). */
BOOL WritePrinterAll(HANDLE printer, const void *data, DWORD length);

/* FALSE on failure, with the reason in GetLastError (ERROR_DISK_FULL when
   the file took nothing). */
BOOL WriteFileAll(HANDLE file, const void *data, DWORD length);

#endif
