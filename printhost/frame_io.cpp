#include "frame_io.h"

#include "session.h"

/* Reads exactly size bytes; returns how many arrived before the end. */
static DWORD ReadExactly(HANDLE input, char *buffer, DWORD size)
{
    DWORD done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!ReadFile(input, buffer + done, size - done, &got, NULL) || got == 0)
            break;   /* end of file, or a broken pipe: the browser has gone */
        done += got;
    }
    return done;
}

FrameStatus ReadFrame(HANDLE input, std::vector<char> *body, uint32_t *length)
{
    unsigned char header[4];
    DWORD got = ReadExactly(input, (char *)header, sizeof(header));
    *length = 0;
    if (got == 0)
        return FRAME_END;
    if (got < sizeof(header))
        return FRAME_CUT;
    *length = header[0] | (header[1] << 8) | (header[2] << 16) | ((uint32_t)header[3] << 24);
    if (*length == 0 || *length > MAX_FRAME_LENGTH)
        return FRAME_REFUSED;
    if (body->size() < *length)
        body->resize(*length);
    return ReadExactly(input, body->data(), *length) == *length ? FRAME_OK : FRAME_CUT;
}

BOOL WriteFrame(HANDLE output, const std::string &body)
{
    uint32_t length = (uint32_t)body.size();
    unsigned char header[4] = { (unsigned char)length, (unsigned char)(length >> 8),
                                (unsigned char)(length >> 16), (unsigned char)(length >> 24) };
    std::string frame((const char *)header, sizeof(header));
    frame += body;
    DWORD done = 0;
    while (done < frame.size()) {
        DWORD written = 0;
        if (!WriteFile(output, frame.data() + done, (DWORD)frame.size() - done, &written, NULL) || written == 0)
            return FALSE;
        done += written;
    }
    return TRUE;
}
