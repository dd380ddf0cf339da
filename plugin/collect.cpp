/*
 * Collecting the stream for two or more copies.  The buffer grows
 * geometrically, so each byte is copied a bounded number of times however
 * long the stream is; when a doubled buffer cannot be had, the exact size
 * is tried before giving up.
 */
#include "plugin.h"

#include <string.h>

#define FIRST_CAPACITY 65536u
#define LARGEST_CAPACITY 0xFFFFFFFFu

/* The capacity to ask for first: double the present one (at least the
   first size), never less than needed, never beyond what fits. */
static DWORD GrownCapacity(DWORD capacity, DWORD needed)
{
    DWORD grown = capacity < FIRST_CAPACITY ? FIRST_CAPACITY : capacity;
    while (grown < needed)
        grown = grown > LARGEST_CAPACITY / 2 ? LARGEST_CAPACITY : grown * 2;
    return grown;
}

/* Moves the collected bytes into a block of capacity bytes. */
static BOOL MoveToBlock(SpoolJob *job, DWORD capacity)
{
    BYTE *block = (BYTE *)BrowserMemAlloc(capacity);
    if (block == NULL)
        return FALSE;
    if (job->bufferLength > 0)
        memcpy(block, job->buffer, job->bufferLength);
    BrowserMemFree(job->buffer);
    job->buffer = block;
    job->bufferCapacity = capacity;
    return TRUE;
}

BOOL CollectBlock(SpoolJob *job, const void *data, DWORD length)
{
    if (length > LARGEST_CAPACITY - job->bufferLength)
        return FALSE;
    DWORD needed = job->bufferLength + length;
    if (needed > job->bufferCapacity) {
        DWORD grown = GrownCapacity(job->bufferCapacity, needed);
        if (!MoveToBlock(job, grown) && (grown == needed || !MoveToBlock(job, needed)))
            return FALSE;
    }
    if (length > 0)
        memcpy(job->buffer + job->bufferLength, data, length);
    job->bufferLength = needed;
    return TRUE;
}

void FreeCollected(SpoolJob *job)
{
    BrowserMemFree(job->buffer);
    job->buffer = NULL;
    job->bufferLength = 0;
    job->bufferCapacity = 0;
}
