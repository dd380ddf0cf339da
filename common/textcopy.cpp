#include "textcopy.h"

#include <windows.h>
#include <string.h>

size_t CutAtCharBoundary(const char *text, size_t length, size_t limit)
{
    if (length <= limit)
        return length;
    size_t end = 0;
    while (end < limit) {
        size_t step = IsDBCSLeadByte((BYTE)text[end]) && end + 1 < length ? 2 : 1;
        if (end + step > limit)
            break;
        end += step;
    }
    return end;
}

size_t CopyTextCut(char *dest, size_t capacity, const char *src)
{
    if (capacity == 0)
        return 0;
    size_t length = CutAtCharBoundary(src, strlen(src), capacity - 1);
    memcpy(dest, src, length);
    dest[length] = '\0';
    return length;
}

size_t AppendTextCut(char *dest, size_t capacity, const char *src)
{
    size_t used = strnlen(dest, capacity);
    if (used >= capacity)
        return 0;
    return CopyTextCut(dest + used, capacity - used, src);
}
