#include "ansi_names.h"

#include "messages.h"

#include <commdlg.h>
#include <stdlib.h>
#include <string.h>
#include <winspool.h>
#include <vector>

BOOL WideToAnsiExact(const wchar_t *wide, char *ansi, int capacity)
{
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, ansi, capacity, NULL, &usedDefault);
    if (length == 0 || usedDefault) {
        /* The form the ANSI functions would have produced. */
        if (WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, capacity, NULL, NULL) == 0 && capacity > 0)
            ansi[0] = '\0';
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return FALSE;
    }
    return TRUE;
}

char *AnsiCopy(const wchar_t *wide)
{
    int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, NULL, 0, NULL, NULL);
    char *copy = size > 0 ? (char *)malloc(size) : NULL;
    if (copy != NULL && WideCharToMultiByte(CP_ACP, 0, wide, -1, copy, size, NULL, NULL) == 0)
        copy[0] = '\0';
    return copy;
}

/* A wide name that has no exact ANSI form but reads as ansi once converted. */
static bool IsLookAlike(const wchar_t *wide, const char *ansi)
{
    int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, NULL, 0, NULL, NULL);
    if (size <= 0)
        return false;
    std::vector<char> converted(size);
    return !WideToAnsiExact(wide, converted.data(), size) && strcmp(converted.data(), ansi) == 0;
}

BOOL ArgumentIsExact(const char *ansiArgument, int wideArgc, wchar_t **wideArgv)
{
    for (int i = 0; i < wideArgc && wideArgv != NULL; i++) {
        if (IsLookAlike(wideArgv[i], ansiArgument)) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return FALSE;
        }
    }
    return TRUE;
}

BOOL PrinterNameIsExact(const char *printerName)
{
    const DWORD kinds = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersW(kinds, NULL, 4, NULL, 0, &needed, &count);
    if (needed == 0)
        return TRUE; /* nothing to mistake it for; opening the printer decides */
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(kinds, NULL, 4, buffer.data(), needed, &needed, &count))
        return TRUE;
    const PRINTER_INFO_4W *printers = (const PRINTER_INFO_4W *)buffer.data();
    for (DWORD i = 0; i < count; i++) {
        if (printers[i].pPrinterName != NULL && IsLookAlike(printers[i].pPrinterName, printerName)) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return FALSE;
        }
    }
    return TRUE;
}

SaveChoice AskSaveFileName(HWND owner, char *path, DWORD capacity)
{
    /* The wide dialog, so that the name the user typed is seen as typed. */
    wchar_t title[SHARED_TEXT_CAPACITY];
    if (MultiByteToWideChar(CP_ACP, 0, TextOf(IDS_SAVE_TITLE), -1, title, SHARED_TEXT_CAPACITY) == 0)
        title[0] = L'\0';
    std::vector<wchar_t> chosen(capacity, L'\0');
    path[0] = '\0';

    OPENFILENAMEW ofn = {};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = L"Corvala/400 (*.cv)\0*.cv\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = chosen.data();
    ofn.nMaxFile = capacity;
    ofn.nMaxFileTitle = MAX_PATH;
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    ofn.lpstrDefExt = L"cv";
    if (!GetSaveFileNameW(&ofn))
        return SAVE_CANCELLED;
    return WideToAnsiExact(chosen.data(), path, (int)capacity) ? SAVE_CHOSEN : SAVE_NAME_NOT_ANSI;
}
