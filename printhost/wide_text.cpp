#include "wide_text.h"

static std::wstring WideFrom(UINT codePage, DWORD flags, const char *text, int length)
{
    std::wstring wide;
    int count = MultiByteToWideChar(codePage, flags, text, length, NULL, 0);
    if (count > 0) {
        wide.resize(count);
        MultiByteToWideChar(codePage, flags, text, length, &wide[0], count);
    }
    if (length < 0 && !wide.empty())
        wide.resize(wide.size() - 1);   /* the terminator */
    return wide;
}

std::wstring WideFromUtf8(const std::string &text)
{
    return WideFrom(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), (int)text.size());
}

std::wstring WideFromAnsi(const char *text)
{
    return WideFrom(CP_ACP, 0, text, -1);
}

std::string Utf8From(UINT codePage, const char *text, int length)
{
    std::string utf8;
    std::wstring wide = WideFrom(codePage, 0, text, length);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), NULL, 0, NULL, NULL);
    if (bytes > 0) {
        utf8.resize(bytes);
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &utf8[0], bytes, NULL, NULL);
    }
    return utf8;
}
