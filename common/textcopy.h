/* Bounded copying of ANSI text that never splits a double-byte character. */
#ifndef CORVALA_TEXTCOPY_H
#define CORVALA_TEXTCOPY_H

#include <stddef.h>

/* Length of the longest prefix of text (of length bytes) that ends on a
   character boundary of the ANSI code page and is at most limit bytes. */
size_t CutAtCharBoundary(const char *text, size_t length, size_t limit);

/* Copies src into dest (capacity bytes, terminator included), cut at a
   character boundary when it does not fit.  Returns the bytes copied. */
size_t CopyTextCut(char *dest, size_t capacity, const char *src);

/* Appends src to the text in dest, cut like CopyTextCut. */
size_t AppendTextCut(char *dest, size_t capacity, const char *src);

#endif
