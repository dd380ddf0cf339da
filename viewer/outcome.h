/*
 * The outcome report (-o): whoever started the viewer learns how its run
 * ended.  The caller makes the file; once the job is over the viewer
 * replaces its contents with one of, in the ANSI code page:
 *   printed <copies>\r\n
 *   saved\r\n
 *   cancelled\r\n
 *   failed\r\n<the text of the message box the user was shown>
 * A file that cannot be opened is left alone, and the run goes on as
 * without the option.
 */
#ifndef CORVALA_OUTCOME_H
#define CORVALA_OUTCOME_H

#include "viewer.h"

class OutcomeReport {
public:
    /* Listens to the message boxes from now on; path NULL reports nothing. */
    explicit OutcomeReport(const char *path);
    ~OutcomeReport();
    OutcomeReport(const OutcomeReport &) = delete;
    OutcomeReport &operator=(const OutcomeReport &) = delete;

    /* Writes outcome into the file; a failure carries the last message. */
    void Write(JobOutcome outcome);

private:
    const char *path_;
};

#endif
