/* Driver of scripts/bench-printhost.sh (not a test): pushes one transfer of
   <MB> megabytes in 1 MiB chunks (base64 or latin1) through the real host
   over pipes, as the browser does, and prints the time to the host's "done"
   and the host's own peak memory (CORVALA_PRINTHOST_STATS).  The viewer is
   the recorder stand-in, registered here under App Paths.
     bench_printhost <host exe> <recorder exe> <MB> base64|latin1 <stderr file>
   (Unix paths). */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <string>

#include "codec.h"
#include "frames.h"
#include "testbed.h"

namespace {

struct Feed {
    HANDLE pipe;
    long long size;
    bool latin1;
};

bool WriteAll(HANDLE pipe, const std::string &bytes)
{
    DWORD done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(pipe, bytes.data() + done, (DWORD)bytes.size() - done, &written, NULL))
            return false;
        done += written;
    }
    return true;
}

/* The frame of a whole chunk numbered seq, from the one numbered 0: the
   block is encoded once, so the time measured is the host's, not ours. */
std::string Renumbered(const std::string &first, long long seq)
{
    std::string json = first.substr(4);
    json.replace(json.find("\"seq\":0,") + 6, 1, std::to_string(seq));
    return F(json);
}

/* The extension's side: begin, the chunks, end, then the port closes. */
DWORD WINAPI FeedHost(void *parameter)
{
    Feed *feed = (Feed *)parameter;
    const long long chunk = 1 << 20;
    std::string block = testbed::PatternBytes(chunk, 3);
    const std::string first = Chunk("bench", 0, block, feed->latin1);
    uint32_t crc = 0;
    bool ok = WriteAll(feed->pipe, Begin("bench", feed->size));
    for (long long seq = 0; ok && seq * chunk < feed->size; seq++) {
        std::string bytes = block.substr(0, (size_t)std::min(chunk, feed->size - seq * chunk));
        crc = Crc32Update(crc, (const unsigned char *)bytes.data(), bytes.size());
        ok = WriteAll(feed->pipe, bytes.size() == block.size() ? Renumbered(first, seq)
                                                               : Chunk("bench", seq, bytes, feed->latin1));
    }
    ok = ok && WriteAll(feed->pipe, End("bench", feed->size, crc));
    CloseHandle(feed->pipe);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 6)
        return 2;
    using testbed::WinePath;
    std::string host = WinePath(argv[1]);
    testbed::SetViewerAppPaths(WinePath(argv[2]), "");
    SetEnvironmentVariableA("CORV_VIEWER_RECORD_DIR", testbed::MakeScratchDir("bench-printhost").c_str());
    SECURITY_ATTRIBUTES inherit = { sizeof(inherit), NULL, TRUE };
    HANDLE inRead, inWrite, outRead, outWrite;
    CreatePipe(&inRead, &inWrite, &inherit, 1 << 16);
    CreatePipe(&outRead, &outWrite, &inherit, 1 << 16);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE errors = CreateFileA(WinePath(argv[5]).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, NULL);
    SetEnvironmentVariableA("CORVALA_PRINTHOST_STATS", "1");
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errors;
    PROCESS_INFORMATION process = {};
    std::string line = "\"" + host + "\"";
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(host.c_str(), &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process))
        return 3;
    CloseHandle(inRead);
    CloseHandle(outWrite);
    CloseHandle(errors);
    Feed feed = { inWrite, atoll(argv[3]) * 1000000, strcmp(argv[4], "latin1") == 0 };
    HANDLE feeder = CreateThread(NULL, 0, FeedHost, &feed, 0, NULL);
    std::string replies;
    char buffer[4096];
    DWORD got = 0;
    bool done = false;
    while (!done && ReadFile(outRead, buffer, sizeof(buffer), &got, NULL) && got > 0) {
        replies.append(buffer, got);
        done = replies.find("\"type\":\"done\"") != std::string::npos ||
               replies.find("\"type\":\"error\"") != std::string::npos;
    }
    QueryPerformanceCounter(&end);
    WaitForSingleObject(feeder, INFINITE);
    WaitForSingleObject(process.hProcess, 30000);
    double seconds = (double)(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    printf("bytes=%lld\nseconds=%.3f\nresult=%s\n", feed.size, seconds,
           replies.find("\"type\":\"done\"") != std::string::npos ? "done" : "failed");
    return replies.find("\"type\":\"done\"") != std::string::npos ? 0 : 1;
}
