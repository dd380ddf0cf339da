#include "copy_loop.h"

BOOL CopyLoop(ReplaySource &source, int copies, CopyDestination &destination)
{
    char block[TRANSFER_BLOCK_SIZE];
    int done = 0;
    while (done < copies) {
        DWORD count = 0;
        ReadOutcome outcome = source.Read(block, sizeof(block), &count);
        if (outcome != READ_OK) {
            DWORD error = GetLastError();
            if (outcome == READ_FAILED)
                destination.ReportReadFailure(error);
            return FALSE;
        }
        if (count == 0) {
            /* One whole copy written. */
            if (++done < copies && !source.Rewind()) {
                destination.ReportReadFailure(GetLastError());
                return FALSE;
            }
            continue;
        }
        if (!destination.Write(block, count)) {
            destination.ReportWriteFailure(GetLastError());
            return FALSE;
        }
    }
    return TRUE;
}
