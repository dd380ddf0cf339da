/* Which addresses a download job may fetch.  The address comes from the web
   page, so it is untrusted: only http and https are fetched, never a local
   file, a share or any other scheme.  No COM here, so it also builds
   natively for fuzzing. */
#ifndef CORVALA_AX_URL_CHECK_H
#define CORVALA_AX_URL_CHECK_H

#include <wchar.h>

/* TRUE-like (1) when url (may be NULL) begins with the scheme "http:" or
   "https:", in any case, with nothing in front of it. */
int IsFetchableUrl(const wchar_t *url);

#endif
