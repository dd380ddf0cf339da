/* The native messaging frames on the standard handles: a 4-byte
   little-endian length, then that many bytes.  Plain ReadFile/WriteFile,
   never a flush: on a pipe FlushFileBuffers waits for the reader. */
#ifndef CORVALA_PRINTHOST_FRAME_IO_H
#define CORVALA_PRINTHOST_FRAME_IO_H

#include <windows.h>
#include <stdint.h>
#include <string>
#include <vector>

enum FrameStatus {
    FRAME_OK,
    FRAME_END,       /* the input ended between frames */
    FRAME_CUT,       /* the input ended inside a frame */
    FRAME_REFUSED    /* zero or too long: *length tells; no byte of the body was read */
};

/* Reads one frame into body (reused, grown to the frame's size). */
FrameStatus ReadFrame(HANDLE input, std::vector<char> *body, uint32_t *length);

/* Writes one frame; FALSE when the output is gone. */
BOOL WriteFrame(HANDLE output, const std::string &body);

#endif
