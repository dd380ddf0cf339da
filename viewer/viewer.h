/*
 * The viewer: prints a spool file (or a URL's data) raw to the printer the
 * user picks, once per copy in one document, or saves it to a file.
 * main.cpp is only the entry point; everything else lives in viewer_core so
 * that tests can run the job in their own process.
 */
#ifndef CORVALA_VIEWER_H
#define CORVALA_VIEWER_H

#include <windows.h>
#include <wininet.h>

/* Size of the block in which the data travels from source to destination. */
#define TRANSFER_BLOCK_SIZE 4096

/* Exit codes of the program. */
#define VIEWER_EXIT_OK 0
#define VIEWER_EXIT_NO_SOURCE 1

struct ViewerOptions {
    BOOL deleteInput;       /* -d: delete the input file afterwards */
    BOOL useDefaultPrinter; /* -u: no print dialog, the default printer */
    BOOL sourceIsUrl;       /* -g: the source is a URL */
    const char *outcomePath; /* -o <file>: where the run's outcome is told, or NULL */
    const char *printerName; /* -p <printer>: that printer, no dialog, or NULL */
    const char *source;     /* first argument that is not an option, or NULL */
    int operandCount;       /* arguments that are not options */
};

/* How a job ended, for whoever started the viewer with -o. */
enum JobEnd {
    JOB_FAILED,    /* a message box told the user why */
    JOB_PRINTED,   /* every copy went to the printer */
    JOB_SAVED,     /* every copy went into the file the user named */
    JOB_CANCELLED  /* the user closed the print or the save dialog */
};

struct JobOutcome {
    JobEnd end;
    int copies; /* JOB_PRINTED: the copies written */
};

/* Parses "dugo:p:" options before or after the source; may be called again. */
void ParseCommandLine(int argc, char **argv, ViewerOptions *options);

/* The whole program below the entry point: resources, command line, job,
   deletion.  wideArgv is the command line as the user gave it, against
   which the ANSI source is checked.  Returns the exit code; the caller ends
   the process through the runtime's exit when it is VIEWER_EXIT_NO_SOURCE. */
int RunViewer(HINSTANCE instance, int argc, char **argv, int wideArgc, wchar_t **wideArgv);

/* One print or save job for source; everything it opens is closed before it
   returns, and every failure has been reported.  namedPrinter (-p) takes
   the place of the print dialog and of useDefaultPrinter. */
JobOutcome RunOutputJob(const char *source, BOOL useDefaultPrinter, BOOL sourceIsUrl,
                        const char *namedPrinter = NULL);

/* Writes copies of the source to printerName as one raw document with one
   page.  sourceFile is INVALID_HANDLE_VALUE for a URL source.  TRUE when
   every copy was written. */
BOOL PrintSource(HANDLE sourceFile, HINTERNET url, const char *printerName, int copies);

/* Asks for a file name and writes copies of the source into that file:
   JOB_SAVED, JOB_CANCELLED or JOB_FAILED. */
JobEnd SaveSource(HANDLE sourceFile, HINTERNET url, int copies);

/* Creates path and writes copies of the source into it: SaveSource once
   the user has named the file.  TRUE when every copy was written. */
BOOL WriteSourceToFile(HANDLE sourceFile, HINTERNET url, int copies, const char *path);

/* Reads the next block from the file, or else from the URL.  Nonzero on
   success; success with *count 0 is the end of the data. */
BOOL ReadSource(HANDLE sourceFile, HINTERNET url, void *buffer, DWORD size, DWORD *count);

#endif
