/* Counting allocator behind the stand-in browser's memory functions.  Each
   block carries a small header with its size and a tag, so that frees can
   be counted in bytes and stray pointers noticed. */
#include "browser_memory.h"

#include <windows.h>

namespace nphost {

namespace {

const uint32_t kTag = 0x4E50484Fu; /* marks our own blocks */

struct BlockHeader {
    uint32_t tag;
    uint32_t size;
    uint64_t padding; /* keeps the payload 16-byte aligned */
};

MemoryStats g_stats = {};
long g_skipBeforeFailing = -1; /* -1: no turn-based failures */
long g_failuresLeft = 0;
uint32_t g_sizeLimit = 0xFFFFFFFFu;

bool RefuseAllocation(uint32_t size)
{
    if (size > g_sizeLimit)
        return true;
    if (g_skipBeforeFailing < 0)
        return false;
    if (g_skipBeforeFailing > 0) {
        g_skipBeforeFailing--;
        return false;
    }
    if (g_failuresLeft == 0)
        return false;
    if (g_failuresLeft > 0)
        g_failuresLeft--;
    return true;
}

} // namespace

void *BrowserMemAlloc(uint32_t size)
{
    if (RefuseAllocation(size)) {
        g_stats.failures++;
        return nullptr;
    }
    BlockHeader *header = (BlockHeader *)HeapAlloc(GetProcessHeap(), 0, sizeof(BlockHeader) + (SIZE_T)size);
    if (header == nullptr) {
        g_stats.failures++;
        return nullptr;
    }
    header->tag = kTag;
    header->size = size;
    g_stats.allocations++;
    g_stats.liveBlocks++;
    g_stats.liveBytes += size;
    if (g_stats.liveBytes > g_stats.peakBytes)
        g_stats.peakBytes = g_stats.liveBytes;
    if (size > g_stats.largestBlock)
        g_stats.largestBlock = size;
    return header + 1;
}

void BrowserMemFree(void *block)
{
    if (block == nullptr)
        return;
    BlockHeader *header = (BlockHeader *)block - 1;
    if (header->tag != kTag) {
        g_stats.badFrees++;
        return;
    }
    header->tag = 0;
    g_stats.frees++;
    g_stats.liveBlocks--;
    g_stats.liveBytes -= header->size;
    HeapFree(GetProcessHeap(), 0, header);
}

MemoryStats Memory()
{
    return g_stats;
}

void ResetMemoryCounters()
{
    MemoryStats fresh = {};
    fresh.liveBlocks = g_stats.liveBlocks;
    fresh.liveBytes = g_stats.liveBytes;
    fresh.peakBytes = g_stats.liveBytes;
    g_stats = fresh;
    AllowAllocations();
}

void FailAllocations(long skip, long count)
{
    g_skipBeforeFailing = skip;
    g_failuresLeft = count;
}

void FailAllocationsAbove(uint32_t size)
{
    g_sizeLimit = size;
}

void AllowAllocations()
{
    g_skipBeforeFailing = -1;
    g_failuresLeft = 0;
    g_sizeLimit = 0xFFFFFFFFu;
}

} // namespace nphost
