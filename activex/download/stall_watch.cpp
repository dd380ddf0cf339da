#include "stall_watch.h"

#define DEFAULT_STALL_MS 60000
#define MIN_CHECK_MS 50
#define MAX_CHECK_MS 5000

static LONG g_stallTimeout = DEFAULT_STALL_MS;

/* Thread timers carry no context, only their id: running watches are found
   through this list.  Apartments of several threads may share it. */
static SRWLOCK g_watchLock = SRWLOCK_INIT;
static StallWatch *g_watches;

DWORD StallTimeout(void)
{
    return (DWORD)InterlockedCompareExchange(&g_stallTimeout, 0, 0);
}

void SetStallTimeout(DWORD silenceMs)
{
    InterlockedExchange(&g_stallTimeout, (LONG)silenceMs);
}

/* A tenth of the allowed silence, within sensible bounds: the stall is
   noticed at most that late. */
static UINT CheckPeriod(DWORD silenceMs)
{
    DWORD period = silenceMs / 10;
    if (period < MIN_CHECK_MS)
        period = MIN_CHECK_MS;
    if (period > MAX_CHECK_MS)
        period = MAX_CHECK_MS;
    return period;
}

BOOL StallWatch::Start(DWORD silenceMs, Handler handler, void *context)
{
    Stop();
    silence_ = silenceMs;
    handler_ = handler;
    context_ = context;
    Touch();
    AcquireSRWLockExclusive(&g_watchLock);
    timer_ = SetTimer(NULL, 0, CheckPeriod(silenceMs), OnTimer);
    if (timer_ != 0) {
        next_ = g_watches;
        g_watches = this;
    }
    ReleaseSRWLockExclusive(&g_watchLock);
    return timer_ != 0;
}

void StallWatch::Stop()
{
    if (timer_ == 0)
        return;
    AcquireSRWLockExclusive(&g_watchLock);
    KillTimer(NULL, timer_);
    for (StallWatch **link = &g_watches; *link != NULL; link = &(*link)->next_) {
        if (*link == this) {
            *link = next_;
            break;
        }
    }
    timer_ = 0;
    next_ = NULL;
    ReleaseSRWLockExclusive(&g_watchLock);
}

void StallWatch::Check()
{
    if (GetTickCount() - last_ < silence_)
        return;
    Handler handler = handler_;
    void *context = context_;
    Stop();
    handler(context);
}

void CALLBACK StallWatch::OnTimer(HWND window, UINT message, UINT_PTR id, DWORD now)
{
    StallWatch *found = NULL;
    AcquireSRWLockShared(&g_watchLock);
    for (StallWatch *watch = g_watches; watch != NULL; watch = watch->next_) {
        if (watch->timer_ == id) {
            found = watch;
            break;
        }
    }
    ReleaseSRWLockShared(&g_watchLock);
    /* Timers belong to the thread that set them, and so does the watch:
       it cannot go away between the lookup and the check. */
    if (found != NULL)
        found->Check();
}
