/* Start-up below WinMain: resources, options, the job, the deletion. */
#include "viewer.h"

#include "ansi_names.h"
#include "link_source.h"
#include "messages.h"
#include "outcome.h"

#include <getopt.h>

/* The leading '-' hands every operand over in place (as option 1), so
   options after the source work whatever the environment says:
   POSIXLY_CORRECT would otherwise stop the parser at the first operand. */
#define VIEWER_OPTIONS "-dugo:p:"
#define OPERAND 1

void ParseCommandLine(int argc, char **argv, ViewerOptions *options)
{
    options->deleteInput = FALSE;
    options->useDefaultPrinter = FALSE;
    options->sourceIsUrl = FALSE;
    options->outcomePath = NULL;
    options->printerName = NULL;
    options->source = NULL;
    options->operandCount = 0;

    /* getopt_long, unlike the runtime's plain getopt, goes on past the
       first operand.  optind 0 starts afresh. */
    static const struct option kNoLongOptions[] = { { NULL, 0, NULL, 0 } };
    optind = 0;
    int option;
    while ((option = getopt_long(argc, argv, VIEWER_OPTIONS, kNoLongOptions, NULL)) != -1) {
        switch (option) {
        case OPERAND:
            options->operandCount++;
            if (options->source == NULL)
                options->source = optarg; /* further operands are ignored */
            break;
        case 'd':
            options->deleteInput = TRUE;
            break;
        case 'u':
            options->useDefaultPrinter = TRUE;
            break;
        case 'g':
            options->sourceIsUrl = TRUE;
            break;
        case 'o':
            options->outcomePath = optarg;
            break;
        case 'p':
            options->printerName = optarg;
            break;
        default:
            break; /* other letters, and -o or -p without a value, are ignored */
        }
    }
    /* Operands after "--" are left in place. */
    if (options->source == NULL && optind < argc)
        options->source = argv[optind];
    if (optind < argc)
        options->operandCount += argc - optind;
}

/* A corvala: link becomes its inner URL, fetched as with -g and never
   deleted.  A link that fails the check is refused with a message before
   anything is fetched or deleted; then FALSE. */
static BOOL TakeLinkSource(ViewerOptions *options)
{
    const char *url;
    LinkVerdict verdict = CheckLinkSource(options->source, options->operandCount, &url);
    if (verdict == LINK_NONE)
        return TRUE;
    if (verdict != LINK_ACCEPTED) {
        DWORD error = verdict == LINK_EXTRA_OPERANDS ? ERROR_BAD_ARGUMENTS : ERROR_INVALID_PARAMETER;
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, error, options->source, MB_ICONEXCLAMATION | MB_OK);
        return FALSE;
    }
    options->source = url;
    options->sourceIsUrl = TRUE;
    options->deleteInput = FALSE;
    return TRUE;
}

/* The job for the source the command line names, and the deletion that
   follows it whatever the outcome. */
static JobOutcome RunSource(ViewerOptions *options, int wideArgc, wchar_t **wideArgv)
{
    JobOutcome failed = { JOB_FAILED, 0 };
    /* A name outside the ANSI code page reaches the program as a look-alike
       of it, which may be another, existing file: refused, never printed
       or deleted. */
    if (!ArgumentIsExact(options->source, wideArgc, wideArgv)) {
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, GetLastError(), options->source, MB_ICONEXCLAMATION | MB_OK);
        return failed;
    }
    if (!TakeLinkSource(options))
        return failed;

    JobOutcome outcome = RunOutputJob(options->source, options->useDefaultPrinter, options->sourceIsUrl,
                                      options->printerName);
    /* Whatever the outcome; the result is not examined. */
    if (options->deleteInput && !options->sourceIsUrl)
        DeleteFileA(options->source);
    return outcome;
}

int RunViewer(HINSTANCE instance, int argc, char **argv, int wideArgc, wchar_t **wideArgv)
{
    InitResources(instance);
    LoadCaption(IDS_APP_TITLE);

    ViewerOptions options;
    ParseCommandLine(argc, argv, &options);
    /* The report file's look-alike could be another file: never truncated. */
    if (options.outcomePath != NULL && !ArgumentIsExact(options.outcomePath, wideArgc, wideArgv))
        options.outcomePath = NULL;
    OutcomeReport report(options.outcomePath);

    int code = VIEWER_EXIT_OK;
    JobOutcome outcome = { JOB_FAILED, 0 };
    if (options.source == NULL) {
        ShowMessage(NULL, IDS_NO_FILENAME, MB_ICONEXCLAMATION | MB_OK);
        code = VIEWER_EXIT_NO_SOURCE;
    } else {
        outcome = RunSource(&options, wideArgc, wideArgv);
    }
    report.Write(outcome);
    FreeResources();
    return code;
}
