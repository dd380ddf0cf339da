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

/* Where the host part ends: after "scheme://", at the first '/', '\',
   '?' or '#'.  An address without "//" has no host part. */
static const wchar_t *HostEnd(const wchar_t *url)
{
    const wchar_t *p = url;
    while (*p != L':')
        p++;
    if (p[1] != L'/' || p[2] != L'/')
        return p;
    for (p += 3; *p != L'\0' && *p != L'/' && *p != L'\\' && *p != L'?' && *p != L'#'; p++)
        ;
    return p;
}

/* The code point at *p, one or two UTF-16 units, moving *p past it; 0 for
   a lone surrogate or a value beyond Unicode. */
static unsigned long NextCodePoint(const wchar_t **p)
{
    unsigned long c = (unsigned long)(unsigned int)**p;
    (*p)++;
    if (c >= 0xDC00 && c <= 0xDFFF)
        return 0;
    if (c >= 0xD800 && c <= 0xDBFF) {
        unsigned long low = (unsigned long)(unsigned int)**p;
        if (low < 0xDC00 || low > 0xDFFF)
            return 0;
        (*p)++;
        return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
    }
    return c <= 0x10FFFF ? c : 0;
}

static int Utf8Bytes(unsigned long c, unsigned char bytes[4])
{
    if (c < 0x800) {
        bytes[0] = (unsigned char)(0xC0 | (c >> 6));
        bytes[1] = (unsigned char)(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        bytes[0] = (unsigned char)(0xE0 | (c >> 12));
        bytes[1] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
        bytes[2] = (unsigned char)(0x80 | (c & 0x3F));
        return 3;
    }
    bytes[0] = (unsigned char)(0xF0 | (c >> 18));
    bytes[1] = (unsigned char)(0x80 | ((c >> 12) & 0x3F));
    bytes[2] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
    bytes[3] = (unsigned char)(0x80 | (c & 0x3F));
    return 4;
}

static void Put(wchar_t *out, int capacity, int *length, wchar_t c)
{
    if (out != NULL && *length < capacity)
        out[*length] = c;
    (*length)++;
}

int EncodeFetchableUrl(const wchar_t *url, wchar_t *out, int capacity)
{
    static const char hex[] = "0123456789ABCDEF";
    if (!IsFetchableUrl(url))
        return 0;
    const wchar_t *hostEnd = HostEnd(url);
    int length = 0;
    for (const wchar_t *p = url; *p != L'\0';) {
        if ((unsigned int)*p < 0x80) {
            Put(out, capacity, &length, *p++);
            continue;
        }
        if (p < hostEnd)
            return 0;
        unsigned long c = NextCodePoint(&p);
        if (c == 0)
            return 0;
        unsigned char bytes[4];
        int count = Utf8Bytes(c, bytes);
        for (int i = 0; i < count; i++) {
            Put(out, capacity, &length, L'%');
            Put(out, capacity, &length, (wchar_t)hex[bytes[i] >> 4]);
            Put(out, capacity, &length, (wchar_t)hex[bytes[i] & 0xF]);
        }
    }
    Put(out, capacity, &length, L'\0');
    return length;
}
