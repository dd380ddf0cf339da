#include "outcome.h"

#include "handles.h"
#include "messages.h"
#include "syscalls.h"
#include "write_all.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The text of the last message box, kept for the report; one thread. */
static char *LastMessage;

static void ForgetMessage(void)
{
    free(LastMessage);
    LastMessage = NULL;
}

static void KeepMessage(const char *text)
{
    ForgetMessage();
    size_t size = strlen(text) + 1;
    LastMessage = (char *)osCall(CorvMalloc)(size);
    if (LastMessage != NULL)
        memcpy(LastMessage, text, size);
}

OutcomeReport::OutcomeReport(const char *path) : path_(path)
{
    ForgetMessage();
    if (path_ != NULL)
        SetMessageListener(KeepMessage);
}

OutcomeReport::~OutcomeReport()
{
    if (path_ != NULL)
        SetMessageListener(NULL);
    ForgetMessage();
}

/* The report's first line; JOB_FAILED's line is followed by the message. */
static void FormatStatus(JobOutcome outcome, char *line, size_t capacity)
{
    switch (outcome.end) {
    case JOB_PRINTED: snprintf(line, capacity, "printed %d\r\n", outcome.copies); break;
    case JOB_SAVED: snprintf(line, capacity, "saved\r\n"); break;
    case JOB_CANCELLED: snprintf(line, capacity, "cancelled\r\n"); break;
    default: snprintf(line, capacity, "failed\r\n"); break;
    }
}

static BOOL WriteText(HANDLE file, const char *text)
{
    return WriteFileAll(file, text, (DWORD)strlen(text));
}

void OutcomeReport::Write(JobOutcome outcome)
{
    if (path_ == NULL)
        return;
    ScopedFile file(CreateFileA(path_, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.IsValid())
        return; /* nobody to tell: the run ends as without the option */
    SetEndOfFile(file.Get()); /* a pipe has no end to set; written all the same */

    char status[32];
    FormatStatus(outcome, status, sizeof(status));
    if (WriteText(file.Get(), status) && outcome.end == JOB_FAILED && LastMessage != NULL)
        WriteText(file.Get(), LastMessage);
}
