#include "write_all.h"
#include "syscalls.h"

/* One call of the destination: TRUE with *written set, or FALSE. */
typedef BOOL (*WriteStep)(HANDLE destination, const BYTE *data, DWORD length, DWORD *written);

static BOOL PrinterStep(HANDLE printer, const BYTE *data, DWORD length, DWORD *written)
{
    return osCall(WritePrinter)(printer, (LPVOID)data, length, written);
}

static BOOL FileStep(HANDLE file, const BYTE *data, DWORD length, DWORD *written)
{
    return osCall(WriteFile)(file, data, length, written, NULL);
}

static BOOL WriteWhole(WriteStep step, DWORD noProgressError, HANDLE destination, const void *data, DWORD length)
{
    const BYTE *next = (const BYTE *)data;
    while (length > 0) {
        DWORD written = 0;
        if (!step(destination, next, length, &written))
            return FALSE;
        if (written == 0 || written > length) {
            SetLastError(noProgressError);
            return FALSE;
        }
        next += written;
        length -= written;
    }
    return TRUE;
}

BOOL WritePrinterAll(HANDLE printer, const void *data, DWORD length)
{
    return WriteWhole(PrinterStep, ERROR_WRITE_FAULT, printer, data, length);
}

BOOL WriteFileAll(HANDLE file, const void *data, DWORD length)
{
    return WriteWhole(FileStep, ERROR_DISK_FULL, file, data, length);
}
