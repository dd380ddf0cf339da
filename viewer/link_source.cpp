/* The corvala: link check; see link_source.h. */
#include "link_source.h"

#include <string.h>

static bool StartsWithNoCase(const char *text, const char *prefix)
{
    for (; *prefix != '\0'; ++text, ++prefix) {
        char c = *text;
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
        if (c != *prefix)
            return false;
    }
    return true;
}

/* Characters a URL never carries unescaped, and everything outside
   printable ASCII: a browser hands these over percent-encoded. */
static bool IsUrlCharacter(unsigned char c)
{
    return c > 0x20 && c < 0x7f && strchr("\"\\<>`{}|^", c) == NULL;
}

/* http:// or https://, a host, and nothing but URL characters. */
static bool IsWebUrl(const char *url)
{
    const char *rest;
    if (StartsWithNoCase(url, "http://"))
        rest = url + 7;
    else if (StartsWithNoCase(url, "https://"))
        rest = url + 8;
    else
        return false;
    if (*rest == '\0' || strchr("/?#@:", *rest) != NULL)
        return false;
    for (const char *p = url; *p != '\0'; ++p)
        if (!IsUrlCharacter((unsigned char)*p))
            return false;
    return true;
}

LinkVerdict CheckLinkSource(const char *source, int operandCount, const char **url)
{
    *url = NULL;
    if (source == NULL || !StartsWithNoCase(source, LINK_SCHEME))
        return LINK_NONE;
    if (operandCount != 1)
        return LINK_EXTRA_OPERANDS;
    const char *inner = source + strlen(LINK_SCHEME);
    if (!IsWebUrl(inner))
        return LINK_BAD_URL;
    *url = inner;
    return LINK_ACCEPTED;
}
