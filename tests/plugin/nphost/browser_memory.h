/*
 * The stand-in browser's memory functions, NPN_MemAlloc and NPN_MemFree:
 * every block is counted, and allocations can be told to fail, by turn or by
 * size, the way a browser short of memory would answer.
 */
#ifndef CORVALA_NPHOST_BROWSER_MEMORY_H
#define CORVALA_NPHOST_BROWSER_MEMORY_H

#include <stdint.h>

namespace nphost {

struct MemoryStats {
    long allocations;     /* successful allocations */
    long failures;        /* allocations refused */
    long frees;
    long liveBlocks;      /* allocated and not yet freed */
    uint64_t liveBytes;
    uint64_t peakBytes;   /* largest liveBytes seen */
    uint32_t largestBlock;
    long badFrees;        /* frees of blocks this browser never gave out */
};

void *BrowserMemAlloc(uint32_t size);
void BrowserMemFree(void *block);

MemoryStats Memory();
/* Clears the counters (live blocks stay live) and every failure rule. */
void ResetMemoryCounters();
/* After skip more successful allocations, refuses the next count
   (count < 0: all of them). */
void FailAllocations(long skip, long count);
/* Refuses every allocation larger than size bytes. */
void FailAllocationsAbove(uint32_t size);
/* Lifts every failure rule. */
void AllowAllocations();

} // namespace nphost

#endif
