/*
 * Timing program of scripts/bench-viewer.sh (not a test).  Runs one job on a
 * source with the dialogs answered and prints the data path's time (first
 * read of the source to the closed output, dialogs excluded) and the
 * process's peak memory.
 *   bench_viewer print <source> <copies>
 *   bench_viewer file <source> <copies> <target>
 *   bench_viewer floor <source> <copies> <target>
 * "floor" is the platform's own cost of the same work: a bare loop of
 * 4096-byte ReadFile and WriteFile calls under Wine, with nothing else.
 */
#include "dialogs.h"
#include "faults.h"
#include "testbed.h"
#include "viewer_test_util.h"

#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>

using namespace testbed;

static LARGE_INTEGER g_firstRead;

static BOOL WINAPI TimedReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD got, LPOVERLAPPED overlapped)
{
    if (g_firstRead.QuadPart == 0)
        QueryPerformanceCounter(&g_firstRead);
    return ReadFile(file, data, size, got, overlapped);
}

static SIZE_T PeakPagefile()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakPagefileUsage;
}

/* The bare copy loop: the data copies times, in 4096-byte blocks. */
static int FloorCopy(const char *source, int copies, const char *target)
{
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceCounter(&start);
    HANDLE in = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    HANDLE out = CreateFileA(target, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE)
        return 1;
    char block[4096];
    for (int copy = 0; copy < copies; copy++) {
        SetFilePointer(in, 0, NULL, FILE_BEGIN);
        DWORD got = 0, written = 0;
        while (ReadFile(in, block, sizeof(block), &got, NULL) && got > 0)
            WriteFile(out, block, got, &written, NULL);
    }
    CloseHandle(out);
    CloseHandle(in);
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    printf("data_path_seconds=%.4f\n", (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc >= 5 && strcmp(argv[1], "floor") == 0)
        return FloorCopy(argv[2], atoi(argv[3]), argv[4]);
    if (argc < 4) {
        fprintf(stderr, "usage: bench_viewer print|file <source> <copies> [target]\n");
        return 2;
    }
    bool toFile = strcmp(argv[1], "file") == 0;
    if (toFile && argc < 5)
        return 2;
    int copies = atoi(argv[3]);
    SIZE_T peakBefore = PeakPagefile();

    SysCallOverride timed("ReadFile", AsProc(TimedReadFile));
    std::vector<DialogStep> script{ PrintOk(copies, toFile) };
    if (toFile)
        script.push_back(SaveAs(argv[4]));
    LARGE_INTEGER end, frequency;
    {
        DialogAnswerer answerer(script);
        RunOutputJob(argv[2], FALSE, FALSE);
        QueryPerformanceCounter(&end);
        if (!answerer.ScriptDone() || !answerer.MessageTexts().empty()) {
            fprintf(stderr, "bench_viewer: the job did not run as scripted\n");
            return 1;
        }
    }
    QueryPerformanceFrequency(&frequency);
    double seconds = (double)(end.QuadPart - g_firstRead.QuadPart) / (double)frequency.QuadPart;
    printf("data_path_seconds=%.4f\npeak_before_bytes=%lu\npeak_bytes=%lu\n", seconds,
           (unsigned long)peakBefore, (unsigned long)PeakPagefile());
    return 0;
}
