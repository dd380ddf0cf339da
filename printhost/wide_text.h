/* The host's text conversions: the browser speaks UTF-8, the registry and
   file names are wide, the viewer and the system's messages ANSI. */
#ifndef CORVALA_PRINTHOST_WIDE_TEXT_H
#define CORVALA_PRINTHOST_WIDE_TEXT_H

#include <windows.h>
#include <string>

/* UTF-8 as UTF-16; empty when the bytes are not valid UTF-8. */
std::wstring WideFromUtf8(const std::string &text);
/* ANSI text (the system's code page, NUL-terminated) as UTF-16. */
std::wstring WideFromAnsi(const char *text);
/* length bytes of text in codePage (-1: up to its NUL) as UTF-8. */
std::string Utf8From(UINT codePage, const char *text, int length = -1);

#endif
