#include "download_path.h"

#include <string.h>

#include "json_reader.h"

namespace {

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

bool SameLetters(const char *text, size_t length, const char *name)
{
    if (strlen(name) != length)
        return false;
    for (size_t i = 0; i < length; i++)
        if (Upper(text[i]) != name[i])
            return false;
    return true;
}

/* The component's part before its first dot, blanks at its end left out,
   names a device: the system opens the device whatever folder or extension
   goes with it. */
bool IsDeviceName(const char *component, size_t length)
{
    static const char *const kDevices[] = { "CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$" };
    const char *dot = (const char *)memchr(component, '.', length);
    size_t base = dot != NULL ? (size_t)(dot - component) : length;
    while (base > 0 && component[base - 1] == ' ')
        base--;
    for (const char *device : kDevices)
        if (SameLetters(component, base, device))
            return true;
    if (!SameLetters(component, base < 3 ? base : 3, "COM") && !SameLetters(component, base < 3 ? base : 3, "LPT"))
        return false;
    const unsigned char *digit = (const unsigned char *)component + 3;
    if (base == 4)
        return digit[0] >= '1' && digit[0] <= '9';
    /* the superscript digits one to three (U+00B9, U+00B2, U+00B3) count too */
    return base == 5 && digit[0] == 0xC2 && (digit[1] == 0xB9 || digit[1] == 0xB2 || digit[1] == 0xB3);
}

bool IsComponentCharacter(unsigned char c)
{
    return c >= 0x20 && c != 0x7F && strchr("<>:\"/|?*\\", c) == NULL;
}

/* One component between backslashes: a name the system takes as it is. */
bool IsPlainComponent(const char *component, size_t length)
{
    if (length == 0 || component[length - 1] == '.' || component[length - 1] == ' ')
        return false;   /* also "." and ".." */
    for (size_t i = 0; i < length;) {
        size_t sequence = Utf8SequenceLength((const unsigned char *)component + i, length - i);
        if (sequence == 0 || (sequence == 1 && !IsComponentCharacter((unsigned char)component[i])))
            return false;
        if (sequence == 2 && (unsigned char)component[i] == 0xC2 && (unsigned char)component[i + 1] < 0xA0)
            return false;   /* C1 control characters */
        i += sequence;
    }
    return !IsDeviceName(component, length);
}

/* The length of the root: "X:\" or "\\server\share\"; 0 when there is none. */
size_t RootLength(const char *path, size_t length)
{
    char drive = Upper(path[0]);
    if (length >= 3 && drive >= 'A' && drive <= 'Z' && path[1] == ':' && path[2] == '\\')
        return 3;
    if (length < 2 || path[0] != '\\' || path[1] != '\\')
        return 0;
    size_t at = 2;
    for (int part = 0; part < 2; part++) {   /* the server, then the share */
        const char *end = (const char *)memchr(path + at, '\\', length - at);
        if (end == NULL || !IsPlainComponent(path + at, end - (path + at)))
            return 0;   /* "\\.\" and "\\?\" end here too */
        at = end - path + 1;
    }
    return at;
}

bool HasOurExtension(const char *name, size_t length)
{
    return length > 5 && SameLetters(name + length - 5, 5, ".CVEP");
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

/* "<job>.<ext>" or "<job> (<n>).<ext>": the name the extension gives a
   download of its own, whose ending the browser may have changed to suit
   the server's type (a text answer becomes ".txt"), and which it may have
   numbered when the name was taken. */
bool IsJobName(const char *name, size_t length, const char *job)
{
    size_t jobLength = job != NULL ? strlen(job) : 0;
    if (jobLength == 0 || length <= jobLength || memcmp(name, job, jobLength) != 0)
        return false;
    size_t at = jobLength;
    if (length - at > 3 && name[at] == ' ' && name[at + 1] == '(') {
        size_t digits = at + 2;
        while (digits < length && IsDigit(name[digits]))
            digits++;
        if (digits == at + 2 || digits > at + 6 || digits >= length || name[digits] != ')')
            return false;
        at = digits + 1;
    }
    size_t extension = length - at - 1;
    if (name[at] != '.' || extension == 0 || extension > 8)
        return false;
    for (size_t i = at + 1; i < length; i++)
        if (!IsDigit(name[i]) && !(Upper(name[i]) >= 'A' && Upper(name[i]) <= 'Z'))
            return false;
    return true;
}

} // namespace

bool IsDownloadPath(const char *path, size_t length, const char *job)
{
    if (length > MAX_DOWNLOAD_PATH_BYTES || memchr(path, '\0', length) != NULL)
        return false;
    size_t at = RootLength(path, length);
    if (at == 0 || at == length)
        return false;
    for (;;) {
        const char *end = (const char *)memchr(path + at, '\\', length - at);
        size_t component = (end != NULL ? (size_t)(end - path) : length) - at;
        if (!IsPlainComponent(path + at, component))
            return false;
        if (end == NULL)
            return HasOurExtension(path + at, component) || IsJobName(path + at, component, job);
        at += component + 1;
    }
}
