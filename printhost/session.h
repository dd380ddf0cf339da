/* One connection's conversation with the browser extension: messages in,
   replies out, at most one transfer open at a time.  The transfer's bytes go
   to a spool target (the temporary file and the viewer) that the session
   reaches only through the small interface below, so the session stays free
   of Windows calls.  A message never names a folder or a program, and the
   only file it may name is a download the extension finished ("file"): the
   target decides all of those.  Every hand-off to the viewer is followed by
   one more reply, the outcome the viewer reported when it ended. */
#ifndef CORVALA_PRINTHOST_SESSION_H
#define CORVALA_PRINTHOST_SESSION_H

#include <stddef.h>
#include <stdint.h>
#include <string>

#include "viewer_report.h"

#define PRINTHOST_VERSION "1.0.5"

enum {
    MAX_FRAME_LENGTH = 32 * 1024 * 1024,   /* longer frames are refused from their length */
    MAX_CHUNK_BYTES = 4 * 1024 * 1024,     /* raw bytes in one chunk */
    MAX_JOB_LENGTH = 64,
    MAX_ORIGIN_BYTES = 512
};

enum SpoolOutcome { SPOOL_OK, SPOOL_DISK, SPOOL_VIEWER, SPOOL_REFUSED };

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
    /* Takes the finished download at path (UTF-8, a path IsDownloadPath
       accepts) over as the target's own file.  SPOOL_REFUSED: not a plain
       file, left untouched, and detail does not name it; SPOOL_DISK: it
       could not be taken and stays where it was. */
    virtual SpoolOutcome Adopt(const std::string &path, std::string *detail) = 0;
    /* Closes the file and starts the viewer on it, without a dialog when
       the administrator's policy lists origin ("" for none).  On failure the
       file is gone, or back where Adopt found it (SPOOL_DISK: it could not
       be closed; SPOOL_VIEWER: no start). */
    virtual SpoolOutcome Print(const std::string &origin, std::string *detail) = 0;
    /* Waits for the viewer the last successful Print started and returns
       what it reported (the message in UTF-8). */
    virtual ViewerReport AwaitOutcome() = 0;
};

class Session {
public:
    explicit Session(SpoolTarget *target) : target_(target), open_(false), handedOver_(false) {}
    ~Session() { Close(); }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    /* Handles one message (length bytes, decoded in place) and returns the
       reply. */
    std::string Handle(char *message, size_t length);
    /* The reply that follows a "done": waits for the viewer to end.  ""
       when no hand-off awaits its outcome. */
    std::string Outcome();
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
    std::string File(const Message &message);
    /* Starts the viewer on the target's file and composes done or error. */
    std::string HandOver(const char *job, const std::string &origin);
    bool ReadOrigin(const Message &message, std::string *origin);
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
    std::string origin_;  /* begin's origin, "" when none */
    bool handedOver_;     /* a viewer was started; its outcome is to be told */
    char handedJob_[MAX_JOB_LENGTH + 1];
};

#endif
