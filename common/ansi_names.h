/*
 * Names that must reach the ANSI functions unchanged.  The system works
 * with ANSI text; a name outside the user's code page would otherwise be
 * converted with best-fit characters into another, existing name.  Such a
 * name is refused with ERROR_NO_UNICODE_TRANSLATION.
 */
#ifndef CORVALA_ANSI_NAMES_H
#define CORVALA_ANSI_NAMES_H

#include <windows.h>

/* wide in the ANSI code page; FALSE with ERROR_NO_UNICODE_TRANSLATION when
   a character has no exact counterpart there (ansi then holds the
   best-fit form, for messages). */
BOOL WideToAnsiExact(const wchar_t *wide, char *ansi, int capacity);

/* wide in the ANSI code page as the user's messages show it (best-fit
   characters allowed), in a block from malloc; NULL when out of memory. */
char *AnsiCopy(const wchar_t *wide);

/* FALSE when one of the wide arguments is not exactly representable and
   reads as ansiArgument once converted: the argument the user gave is not
   the one the program received. */
BOOL ArgumentIsExact(const char *ansiArgument, int wideArgc, wchar_t **wideArgv);

/* FALSE with ERROR_NO_UNICODE_TRANSLATION when an installed printer whose
   name is not exactly representable reads as printerName in ANSI: the
   name then does not say which printer the user chose. */
BOOL PrinterNameIsExact(const char *printerName);

enum SaveChoice { SAVE_CANCELLED, SAVE_CHOSEN, SAVE_NAME_NOT_ANSI };

/* The save dialog for spool files (filter "*.cv", default extension "cv",
   the title of IDS_SAVE_TITLE).  SAVE_NAME_NOT_ANSI: the user's name has
   no exact ANSI form (path holds the best-fit form, for the message). */
SaveChoice AskSaveFileName(HWND owner, char *path, DWORD capacity);

#endif
