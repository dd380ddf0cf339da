/*
 * Links that web pages hand to the viewer through the "corvala:" URL
 * scheme: corvala:<http or https URL>.  Any page can offer such a link, so
 * the checks here decide before anything is opened, fetched or deleted.
 * No COM or WinINet calls: the check also builds natively for fuzzing.
 */
#ifndef CORVALA_LINK_SOURCE_H
#define CORVALA_LINK_SOURCE_H

#define LINK_SCHEME "corvala:"

enum LinkVerdict {
    LINK_NONE,            /* not a link: the source is handled as before */
    LINK_ACCEPTED,        /* *url is the inner http or https URL */
    LINK_BAD_URL,         /* what follows the scheme is no http or https URL */
    LINK_EXTRA_OPERANDS   /* more than one operand: a quote split the link */
};

/* Judges source, the first of operandCount operands of the command line.
   For LINK_ACCEPTED, *url points into source. */
LinkVerdict CheckLinkSource(const char *source, int operandCount, const char **url);

#endif
