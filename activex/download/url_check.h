/* Which addresses a download job may fetch, and the form in which it sends
   them.  The address comes from the web page, so it is untrusted: only http
   and https are fetched, never a local file, a share or any other scheme.
   No COM here, so it also builds natively for fuzzing. */
#ifndef CORVALA_AX_URL_CHECK_H
#define CORVALA_AX_URL_CHECK_H

#include <wchar.h>

/* TRUE-like (1) when url (may be NULL) begins with the scheme "http:" or
   "https:", in any case, with nothing in front of it. */
int IsFetchableUrl(const wchar_t *url);

/* The address as browsers send it: characters outside ASCII in the path,
   query and fragment percent-encoded as UTF-8 (upper-case hex), everything
   else unchanged, so that the server gets exactly the characters the page
   named and never a narrowed look-alike.  Returns the characters needed,
   the terminating NUL included, and writes them to out when capacity
   allows (out may be NULL to ask for the size).  Returns 0 for an address
   that is refused: one IsFetchableUrl refuses, a host name (or anything
   before the path) outside ASCII, or a broken UTF-16 sequence. */
int EncodeFetchableUrl(const wchar_t *url, wchar_t *out, int capacity);

#endif
