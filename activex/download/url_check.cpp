#include "url_check.h"

/* Compares the start of text with the lower-case ASCII word, ignoring case. */
static int StartsWithNoCase(const wchar_t *text, const char *word)
{
    for (; *word != '\0'; text++, word++) {
        wchar_t c = *text;
        if (c >= L'A' && c <= L'Z')
            c = (wchar_t)(c - L'A' + L'a');
        if (c != (wchar_t)*word)
            return 0;
    }
    return 1;
}

int IsFetchableUrl(const wchar_t *url)
{
    if (url == NULL)
        return 0;
    return StartsWithNoCase(url, "http:") || StartsWithNoCase(url, "https:");
}
