/* The server module's lock count, for test programs that link the job
   without the server module. */
#include "module.h"

static LONG g_locks;

LONG ModuleLock(void) { return InterlockedIncrement(&g_locks); }
LONG ModuleUnlock(void) { return InterlockedDecrement(&g_locks); }
LONG ModuleLockCount(void) { return InterlockedCompareExchange(&g_locks, 0, 0); }
