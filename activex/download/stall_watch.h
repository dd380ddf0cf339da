/* Notices a transfer that has gone quiet.  A thread timer on the apartment
   thread compares the time of the last sign of life with the allowed
   silence and, once it is exceeded, calls the owner back once.  The timer
   runs only while the apartment pumps messages, which it must do anyway for
   the transfer's own notifications. */
#ifndef CORVALA_AX_STALL_WATCH_H
#define CORVALA_AX_STALL_WATCH_H

#include <windows.h>

class StallWatch {
public:
    typedef void (*Handler)(void *context);

    StallWatch() : timer_(0), last_(0), silence_(0), handler_(NULL), context_(NULL), next_(NULL) {}
    ~StallWatch() { Stop(); }
    StallWatch(const StallWatch &) = delete;
    StallWatch &operator=(const StallWatch &) = delete;

    /* Starts watching on the calling thread; FALSE when no timer is left. */
    BOOL Start(DWORD silenceMs, Handler handler, void *context);
    /* A sign of life: the silence starts again from now. */
    void Touch() { last_ = GetTickCount(); }
    void Stop();

private:
    static void CALLBACK OnTimer(HWND window, UINT message, UINT_PTR id, DWORD now);
    void Check();

    UINT_PTR timer_;
    DWORD last_;
    DWORD silence_;
    Handler handler_;
    void *context_;
    StallWatch *next_;      /* the list of running watches, by timer id */
};

/* The silence after which a transfer counts as stalled, for every watch that
   starts from now on: a minute unless a test shortens it. */
DWORD StallTimeout(void);
void SetStallTimeout(DWORD silenceMs);

#endif
