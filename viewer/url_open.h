/*
 * Opening a URL source.  HTTP and HTTPS are asked for one request at a time
 * so that the transfer timeouts sit on every handle before anything is sent,
 * and redirects are followed here, a bounded number of times.  Other schemes
 * go through InternetOpenUrlA.
 */
#ifndef CORVALA_URL_OPEN_H
#define CORVALA_URL_OPEN_H

#include "handles.h"
#include "viewer.h"

/* Redirects followed before the URL is given up. */
#define MAX_REDIRECTS 10
/* A transfer that goes this long without a byte ends as a failed one. */
#define TRANSFER_TIMEOUT_MS 60000

/* The handles of an open URL, closed in reverse order. */
struct UrlHandles {
    ScopedInternet session;
    ScopedInternet connection;
    ScopedInternet request;
};

/* Opens source; FALSE after the failure has been reported, with the URL as
   the subject.  Only a 2xx answer is data. */
BOOL OpenUrlSource(const char *source, UrlHandles *url);

#endif
