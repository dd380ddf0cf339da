/* One connection's conversation with the browser extension: messages in,
   replies out, at most one transfer open at a time.  The transfer's bytes go
   to a spool target (the temporary file and the viewer) that the session
   reaches only through the small interface below, so the session stays free
   of Windows calls.  A message never names a file, a folder or a program:
   the target decides all of those. */
#ifndef CORVALA_PRINTHOST_SESSION_H
#define CORVALA_PRINTHOST_SESSION_H

#include <stddef.h>
#include <stdint.h>
#include <string>

#define PRINTHOST_VERSION "1.0.5"

enum {
    MAX_FRAME_LENGTH = 32 * 1024 * 1024,   /* longer frames are refused from their length */
    MAX_CHUNK_BYTES = 4 * 1024 * 1024,     /* raw bytes in one chunk */
    MAX_JOB_LENGTH = 64
};

enum SpoolOutcome { SPOOL_OK, SPOOL_DISK, SPOOL_VIEWER };

/* Where a transfer's bytes go.  detail gets the system's text (UTF-8) of a
   failure, naming what it concerns. */
class SpoolTarget {
public:
    virtual ~SpoolTarget() {}
    /* A new empty file of the target's own choosing. */
    virtual bool Create(std::string *detail) = 0;
    virtual bool Write(const unsigned char *data, size_t length, std::string *detail) = 0;
    /* Deletes the file, if there is one. */
    virtual void Discard() = 0;
    /* Closes the file and starts the viewer on it; on failure the file is
       gone (SPOOL_DISK: it could not be closed; SPOOL_VIEWER: no start). */
    virtual SpoolOutcome Print(std::string *detail) = 0;
};

class Session {
public:
    explicit Session(SpoolTarget *target) : target_(target), open_(false) {}
    ~Session() { Close(); }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    /* Handles one message (length bytes, decoded in place) and returns the
       reply. */
    std::string Handle(char *message, size_t length);
    /* A frame whose length alone is refused: the stream is out of step. */
    std::string RefuseFrame(uint32_t length);
    /* The input ended, between frames (cut == false) or inside one.  Ends
       an open transfer; returns an error reply, or "" when nothing was lost. */
    std::string InputEnded(bool cut);

    bool TransferOpen() const { return open_; }

private:
    struct Message;
    std::string Begin(const Message &message);
    std::string Chunk(const Message &message);
    std::string End(const Message &message);
    std::string Cancel(const Message &message);
    /* Ends the open transfer (if any) and composes an error reply. */
    std::string Fail(const char *job, const char *reason, const std::string &text);
    bool Decode(const Message &message, unsigned char **data, size_t *length);
    void Close();

    SpoolTarget *target_;
    bool open_;
    char job_[MAX_JOB_LENGTH + 1];
    int64_t declared_;    /* begin's size, -1 when unknown */
    int64_t received_;
    int64_t nextSeq_;
    uint32_t crc_;
};

#endif
