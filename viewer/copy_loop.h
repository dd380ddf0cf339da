/*
 * The copy loop that printing and saving share: the whole data once per
 * copy, in blocks of TRANSFER_BLOCK_SIZE, with the source started again
 * between copies.  The destination writes a block and knows how to report
 * a failed read or write.
 */
#ifndef CORVALA_COPY_LOOP_H
#define CORVALA_COPY_LOOP_H

#include "source_reader.h"

class CopyDestination {
public:
    /* Writes all of data; FALSE with the reason in GetLastError. */
    virtual BOOL Write(const void *data, DWORD size) = 0;
    virtual void ReportReadFailure(DWORD error) = 0;
    virtual void ReportWriteFailure(DWORD error) = 0;

protected:
    ~CopyDestination() {}
};

/* Writes copies of source to destination; a failure is reported and ends
   the loop.  Nothing is written for copies below 1.  TRUE when every copy
   was written. */
BOOL CopyLoop(ReplaySource &source, int copies, CopyDestination &destination);

#endif
