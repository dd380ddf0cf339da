/*
 * nphost: prints a spool file through a plug-in library the way a browser
 * would deliver it: load, handshake, one instance in a window, one stream
 * fed from the file in blocks.  By hand it shows the plug-in's real dialogs;
 * with -a it answers them itself (for scripts) and reports figures.
 */
#include "browser_host.h"
#include "browser_memory.h"
#include "dialogs.h"

#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct Options {
    size_t blockSize = 65536;
    uint16_t version = nphost::kBrowserVersion;
    NPReason reason = NPRES_DONE;
    int answerCopies = 0; /* 0: a person answers */
    bool printToFile = false;
    std::string savePath;
    bool showWindow = false;
    std::string plugin;
    std::string source;
};

void Usage()
{
    fprintf(stderr,
            "usage: nphost [options] <plug-in.dll> <spool file>\n"
            "  -b BYTES    block size of the stream (default 65536)\n"
            "  -v VERSION  interface version the browser announces (default 0x000b)\n"
            "  -r REASON   end the stream with 0 done, 1 network error, 2 user break\n"
            "  -a COPIES   answer the print dialog without a person, with COPIES copies\n"
            "  -t          with -a: tick print to file\n"
            "  -o PATH     with -a -t: the file name for the save dialog\n"
            "  -w          show the stand-in's window\n");
}

bool ParseOptions(int argc, char **argv, Options *options)
{
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; i++) {
        char letter = argv[i][1];
        bool takesValue = strchr("bvrao", letter) != NULL;
        if (takesValue && i + 1 >= argc)
            return false;
        const char *value = takesValue ? argv[++i] : NULL;
        switch (letter) {
        case 'b': options->blockSize = strtoul(value, NULL, 0); break;
        case 'v': options->version = (uint16_t)strtoul(value, NULL, 0); break;
        case 'r': options->reason = (NPReason)atoi(value); break;
        case 'a': options->answerCopies = atoi(value); break;
        case 'o': options->savePath = value; break;
        case 't': options->printToFile = true; break;
        case 'w': options->showWindow = true; break;
        default: return false;
        }
    }
    if (argc - i != 2 || options->blockSize == 0)
        return false;
    options->plugin = argv[i];
    options->source = argv[i + 1];
    return true;
}

std::unique_ptr<testbed::DialogAnswerer> StartAnswering(const Options &options)
{
    if (options.answerCopies <= 0)
        return nullptr;
    std::vector<testbed::DialogStep> script = { testbed::PrintOk(options.answerCopies, options.printToFile) };
    if (options.printToFile)
        script.push_back(testbed::SaveAs(options.savePath));
    return std::unique_ptr<testbed::DialogAnswerer>(new testbed::DialogAnswerer(script));
}

uint64_t FileSize(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)(to.QuadPart - from.QuadPart) / (double)frequency.QuadPart;
}

/* The process's anonymous memory now; Wine keeps no reliable peak, so the
   feeding loop samples it. */
size_t PagefileUsage()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PagefileUsage;
}

static void SamplePeak(void *peakPagefile)
{
    size_t *peak = (size_t *)peakPagefile;
    *peak = std::max(*peak, PagefileUsage());
}

/* Feeds the file block by block, sampling memory after each block. */
bool FeedSampled(nphost::HostStream &stream, const std::string &path, size_t blockSize, uint64_t *fed,
                 size_t *peakPagefile)
{
    return stream.FeedFile(path, blockSize, fed, SamplePeak, peakPagefile);
}

int Run(const Options &options)
{
    nphost::PluginHost host;
    if (!host.Load(options.plugin)) {
        fprintf(stderr, "nphost: cannot load %s (error %lu)\n", options.plugin.c_str(), GetLastError());
        return 2;
    }
    NPError result = host.Start(options.version);
    printf("nphost: handshake %d (plug-in version 0x%04x)\n", result, host.PluginFuncs().version);
    if (result != NPERR_NO_ERROR)
        return 1;
    nphost::HostInstance instance(host, options.showWindow);
    if ((result = instance.New()) != NPERR_NO_ERROR || (result = instance.SetWindow()) != NPERR_NO_ERROR) {
        printf("nphost: instance %d\n", result);
        return 1;
    }
    size_t pagefileBefore = PagefileUsage();
    size_t peakPagefile = pagefileBefore;
    uint64_t size = FileSize(options.source);
    nphost::HostStream stream(instance, options.source.c_str(), (uint32_t)size);
    std::unique_ptr<testbed::DialogAnswerer> answerer = StartAnswering(options);
    result = stream.Open();
    printf("nphost: NPP_NewStream %d\n", result);
    if (result != NPERR_NO_ERROR)
        return 1;

    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    uint64_t fed = 0;
    bool complete = FeedSampled(stream, options.source, options.blockSize, &fed, &peakPagefile);
    NPError ended = stream.End(options.reason);
    QueryPerformanceCounter(&end);
    answerer.reset();

    nphost::MemoryStats memory = nphost::Memory();
    printf("nphost: fed %llu of %llu bytes, NPP_DestroyStream %d\n", (unsigned long long)fed,
           (unsigned long long)size, ended);
    printf("figures: bytes=%llu block=%lu seconds=%.3f peak_browser_bytes=%llu "
           "pagefile_before=%lu peak_pagefile=%lu\n",
           (unsigned long long)fed, (unsigned long)options.blockSize, Seconds(start, end),
           (unsigned long long)memory.peakBytes, (unsigned long)pagefileBefore,
           (unsigned long)peakPagefile);
    return complete ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        Usage();
        return 2;
    }
    int code = Run(options);
    fflush(stdout);
    return code;
}
