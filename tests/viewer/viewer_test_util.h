/*
 * Helpers the viewer's tests share: the program run in-process through
 * RunViewer, the real Corvala Viewer.exe run with its windows answered from
 * outside, and pass-through spies on the spooler calls.
 */
#ifndef CORVALA_VIEWER_TEST_UTIL_H
#define CORVALA_VIEWER_TEST_UTIL_H

#include "viewer.h"

#include <string>
#include <vector>

namespace viewertest {

/* RunViewer in this process with argv[0] "viewer" and the given arguments
   (UTF-8; the ANSI vector holds their best-fit form, as the runtime's). */
int RunViewerArgs(const std::vector<std::string> &args);

/* Path of the built Corvala Viewer.exe as Windows names it. */
std::string ViewerExe();

/* What a run of the real program showed and how it ended. */
struct ProcessRun {
    int exitCode;                      /* -1 when it did not end in time */
    std::vector<std::string> titles;   /* every dialog and message box */
    std::vector<std::string> messages; /* the texts of the message boxes */
};

/* Starts commandLine and answers each of its windows with OK until it
   ends (the print dialog therefore prints one copy). */
ProcessRun RunAnswered(const std::string &commandLine, DWORD timeoutMs = 60000);

/* Counts and records the spooler calls made through the system-call table
   and passes every one on to the real function. */
struct SpoolerSpy {
    SpoolerSpy();
    ~SpoolerSpy();
    SpoolerSpy(const SpoolerSpy &) = delete;
    SpoolerSpy &operator=(const SpoolerSpy &) = delete;

    static int startDocs, startPages, endPages, endDocs, aborts;
    static std::string docName, dataType;
    static std::vector<DWORD> writeSizes;
};

/* The first line of a message (the id text). */
std::string FirstLine(const std::string &text);


/* Wine's AbortPrinter is a stub: closing the printer still submits an
   abandoned document.  Waits for it so that it is not counted later. */
void LetAbandonedDocumentLand(size_t before);

/* The system's text for error, as the viewer's messages show it. */
std::string SystemText(DWORD error);

} // namespace viewertest

#endif
