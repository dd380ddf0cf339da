/*
 * Timing program of scripts/bench-control.sh (not a test).  Fetches one
 * address several times in this process, on an apartment thread that pumps
 * messages, and prints the time of each run and the process's peak memory:
 *   bench_download control <url> <runs>   the download job, from StartJob to
 *                                          the hand-off to the viewer (the
 *                                          recorder, beside this program)
 *   bench_download bare <url> <runs>      a plain URL-moniker transfer with
 *                                          the job's bind flags, read in
 *                                          blocks of the job's size and dropped
 * Each variant runs in a process of its own, so that the peaks are its own.
 */
#include "dialogs.h"
#include "download_callback.h"
#include "download_job.h"
#include "messages.h"
#include "testbed.h"

#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <urlmon.h>

using namespace testbed;

#define RUN_LIMIT_MS 300000

/* The job's own flags. */
#define BARE_BIND_FLAGS (BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE)

namespace {

/* Reads every notification's bytes into one block and forgets them. */
class BareCallback final : public IBindStatusCallback {
public:
    bool done = false;
    HRESULT result = S_OK;
    ULONGLONG bytes = 0;

    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        *out = NULL;
        if (riid != IID_IUnknown && riid != IID_IBindStatusCallback)
            return E_NOINTERFACE;
        *out = static_cast<IBindStatusCallback *>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        if (--refs_ == 0) {
            delete this;
            return 0;
        }
        return refs_;
    }
    STDMETHODIMP OnStartBinding(DWORD, IBinding *) override { return S_OK; }
    STDMETHODIMP GetPriority(LONG *) override { return E_NOTIMPL; }
    STDMETHODIMP OnLowResource(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP OnStopBinding(HRESULT hr, LPCWSTR) override
    {
        result = hr;
        done = true;
        return S_OK;
    }
    STDMETHODIMP GetBindInfo(DWORD *flags, BINDINFO *info) override
    {
        *flags = BARE_BIND_FLAGS;
        DWORD size = info->cbSize;
        memset(info, 0, size);
        info->cbSize = size;
        info->dwBindVerb = BINDVERB_GET;
        return S_OK;
    }
    STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC *, STGMEDIUM *medium) override
    {
        if (medium == NULL || medium->tymed != TYMED_ISTREAM)
            return S_OK;
        for (;;) {
            ULONG got = 0;
            HRESULT hr = medium->pstm->Read(block_, sizeof(block_), &got);
            bytes += got;
            if (hr != S_OK || got == 0)
                return S_OK;
        }
    }
    STDMETHODIMP OnObjectAvailable(REFIID, IUnknown *) override { return E_NOTIMPL; }

private:
    LONG refs_ = 1;
    BYTE block_[READ_BLOCK_SIZE];
};

template <typename Done>
bool PumpUntil(Done done)
{
    for (DWORD start = GetTickCount(); !done(); ) {
        if (GetTickCount() - start > RUN_LIMIT_MS)
            return false;
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

double Seconds(const LARGE_INTEGER &start)
{
    LARGE_INTEGER end, frequency;
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    return (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
}

/* One bare transfer; the bytes read, or -1 when it failed. */
long long BareRun(const wchar_t *url, double *seconds)
{
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    BareCallback *callback = new BareCallback();
    IMoniker *moniker = NULL;
    IBindCtx *context = NULL;
    IStream *stream = NULL;
    HRESULT hr = CreateURLMoniker(NULL, url, &moniker);
    if (SUCCEEDED(hr))
        hr = CreateBindCtx(0, &context);
    if (SUCCEEDED(hr))
        hr = RegisterBindStatusCallback(context, callback, NULL, 0);
    if (SUCCEEDED(hr))
        hr = moniker->BindToStorage(context, NULL, IID_IStream, (void **)&stream);
    bool ended = SUCCEEDED(hr) && PumpUntil([callback] { return callback->done; });
    *seconds = Seconds(start);
    long long bytes = ended && SUCCEEDED(callback->result) ? (long long)callback->bytes : -1;
    if (stream != NULL)
        stream->Release();
    if (context != NULL) {
        RevokeBindStatusCallback(context, callback);
        context->Release();
    }
    if (moniker != NULL)
        moniker->Release();
    callback->Release();
    return bytes;
}

/* One job, its file taken by the recorder; the bytes the recorder was
   given, or -1 when the job failed. */
long long ControlRun(const wchar_t *url, const std::string &records, double *seconds)
{
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    char temp[TEMP_NAME_CAPACITY] = "";
    BSTR address = SysAllocString(url);
    HRESULT hr = StartJob(address, NULL, temp);
    SysFreeString(address);
    bool ended = hr == S_OK && PumpUntil([] { return DownloadJobsRunning() == 0; });
    *seconds = Seconds(start);
    if (!ended)
        return -1;
    /* The recorder writes <name>.dat, then <name>.cmd once it is done. */
    WIN32_FIND_DATAA found;
    HANDLE search = INVALID_HANDLE_VALUE;
    PumpUntil([&] {
        search = FindFirstFileA((records + "\\*.cmd").c_str(), &found);
        return search != INVALID_HANDLE_VALUE;
    });
    if (search == INVALID_HANDLE_VALUE)
        return -1;
    FindClose(search);
    std::string base = records + "\\" + std::string(found.cFileName, strlen(found.cFileName) - 4);
    WIN32_FILE_ATTRIBUTE_DATA data;
    long long bytes = GetFileAttributesExA((base + ".dat").c_str(), GetFileExInfoStandard, &data)
                          ? (long long)data.nFileSizeHigh << 32 | data.nFileSizeLow
                          : -1;
    DeleteFileA((base + ".dat").c_str());
    DeleteFileA((base + ".cmd").c_str());
    return bytes;
}

void PrintPeaks(const char *suffix)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    printf("peak_pagefile%s=%llu\npeak_working_set%s=%llu\n", suffix,
           (unsigned long long)counters.PeakPagefileUsage, suffix,
           (unsigned long long)counters.PeakWorkingSetSize);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4 || (strcmp(argv[1], "control") != 0 && strcmp(argv[1], "bare") != 0)) {
        fprintf(stderr, "usage: bench_download control|bare <url> <runs>\n");
        return 2;
    }
    bool control = strcmp(argv[1], "control") == 0;
    std::wstring url(argv[2], argv[2] + strlen(argv[2]));
    int runs = atoi(argv[3]);
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    InitResources(GetModuleHandleA(NULL));
    LoadCaption(IDS_APP_TITLE);
    std::string records = MakeScratchDir("viewer-runs");
    SetEnvironmentVariableA("CORV_VIEWER_RECORD_DIR", records.c_str());
    SetViewerAppPaths(ProgramDirectory() + "\\viewer_recorder.exe", "");
    PrintPeaks("_before");

    int status = 0;
    {
        /* A failure's message box is noted and closed instead of waiting. */
        DialogAnswerer answerer(std::vector<DialogStep>{});
        for (int run = 0; run < runs && status == 0; run++) {
            double seconds = 0;
            long long bytes = control ? ControlRun(url.c_str(), records, &seconds) : BareRun(url.c_str(), &seconds);
            printf("seconds=%.3f\nbytes=%lld\n", seconds, bytes);
            fflush(stdout);
            status = bytes < 0 ? 1 : 0;
        }
        for (const std::string &text : answerer.MessageTexts()) {
            fprintf(stderr, "bench_download: %s\n", text.c_str());
            status = 1;
        }
    }
    PrintPeaks("");
    DeleteViewerAppPaths();
    CoUninitialize();
    return status;
}
