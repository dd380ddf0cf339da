/* Corvala Print Host: the native messaging host com.corvala.print.  The
   browser starts it for one port and talks to it in frames on the standard
   handles; it ends when the browser closes its input.  It never shows a
   window: every failure goes back as an error reply.  Command-line
   arguments (the caller's origin, a parent window) are not used. */
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>

#include "frame_io.h"
#include "session.h"
#include "spool_target.h"

/* Serves messages until the input ends or a frame is refused; the exit code
   is 0 when the input ended with no transfer lost.  Messages wait while a
   viewer runs: one print at a time. */
static int Serve(HANDLE input, HANDLE output)
{
    TempFileTarget target;
    Session session(&target);
    std::vector<char> body;
    for (;;) {
        uint32_t length = 0;
        FrameStatus status = ReadFrame(input, &body, &length);
        if (status == FRAME_OK) {
            WriteFrame(output, session.Handle(body.data(), length));
            std::string outcome = session.Outcome();   /* after a "done": once the viewer ends */
            if (!outcome.empty())
                WriteFrame(output, outcome);
            continue;
        }
        /* The stream ended or is out of step: say so if anyone listens. */
        bool lost = session.TransferOpen() || status != FRAME_END;
        std::string reply = status == FRAME_REFUSED ? session.RefuseFrame(length)
                                                    : session.InputEnded(status == FRAME_CUT);
        if (!reply.empty())
            WriteFrame(output, reply);
        return lost ? 1 : 0;
    }
}

/* With CORVALA_PRINTHOST_STATS set, the peak memory goes to stderr (for
   the benchmark). */
static void ReportMemory()
{
    if (getenv("CORVALA_PRINTHOST_STATS") == NULL)
        return;
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)))
        fprintf(stderr, "printhost peak: pagefile %llu bytes, working set %llu bytes\n",
                (unsigned long long)counters.PeakPagefileUsage, (unsigned long long)counters.PeakWorkingSetSize);
}

int main()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    int code = Serve(GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE));
    ReportMemory();
    return code;
}
