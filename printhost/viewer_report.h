/* What the viewer wrote into its outcome file (-o) when its run ended, in
   the system's ANSI code page:
     printed <copies>\r\n | saved\r\n | cancelled\r\n | failed\r\n<message>
   Free of Windows calls, fuzzed: the message stays in the code page's bytes
   for the caller to convert. */
#ifndef CORVALA_PRINTHOST_VIEWER_REPORT_H
#define CORVALA_PRINTHOST_VIEWER_REPORT_H

#include <stddef.h>
#include <string>

enum {
    MAX_REPORT_BYTES = 4096,    /* more of a report is not read */
    MAX_REPORT_COPIES = 32767   /* as many as a printer's settings can ask for */
};

enum ReportKind { REPORT_NONE, REPORT_PRINTED, REPORT_SAVED, REPORT_CANCELLED, REPORT_FAILED };

struct ViewerReport {
    ReportKind kind;      /* REPORT_NONE: nothing readable was written */
    int copies;           /* REPORT_PRINTED */
    std::string message;  /* REPORT_FAILED: the viewer's message box text */
};

/* Reads a report of length bytes; anything not of the form above is
   REPORT_NONE. */
ViewerReport ParseViewerReport(const char *text, size_t length);

#endif
