/* Start-up below WinMain: resources, options, the job, the deletion. */
#include "viewer.h"

#include "ansi_names.h"
#include "link_source.h"
#include "messages.h"

#include <getopt.h>

/* The leading '-' hands every operand over in place (as option 1), so
   options after the source work whatever the environment says:
   POSIXLY_CORRECT would otherwise stop the parser at the first operand. */
#define VIEWER_OPTIONS "-dug"
#define OPERAND 1

void ParseCommandLine(int argc, char **argv, ViewerOptions *options)
{
    options->deleteInput = FALSE;
    options->useDefaultPrinter = FALSE;
    options->sourceIsUrl = FALSE;
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
        default:
            break; /* letters outside "dug" are ignored */
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

int RunViewer(HINSTANCE instance, int argc, char **argv, int wideArgc, wchar_t **wideArgv)
{
    InitResources(instance);
    LoadCaption(IDS_APP_TITLE);

    ViewerOptions options;
    ParseCommandLine(argc, argv, &options);
    if (options.source == NULL) {
        ShowMessage(NULL, IDS_NO_FILENAME, MB_ICONEXCLAMATION | MB_OK);
        FreeResources();
        return VIEWER_EXIT_NO_SOURCE;
    }

    /* A name outside the ANSI code page reaches the program as a look-alike
       of it, which may be another, existing file: refused, never printed
       or deleted. */
    if (!ArgumentIsExact(options.source, wideArgc, wideArgv)) {
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, GetLastError(), options.source, MB_ICONEXCLAMATION | MB_OK);
        FreeResources();
        return VIEWER_EXIT_OK;
    }
    if (!TakeLinkSource(&options)) {
        FreeResources();
        return VIEWER_EXIT_OK;
    }

    RunOutputJob(options.source, options.useDefaultPrinter, options.sourceIsUrl);
    /* Whatever the outcome; the result is not examined. */
    if (options.deleteInput && !options.sourceIsUrl)
        DeleteFileA(options.source);

    FreeResources();
    return VIEWER_EXIT_OK;
}
