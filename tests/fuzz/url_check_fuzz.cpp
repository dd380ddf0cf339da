/* libFuzzer harness for the download job's address check: any UTF-16 units
   (two bytes each, little-endian) as the page's address are judged without
   fault; an accepted address comes out as pure ASCII of the size announced,
   with the same scheme, and an address already in ASCII comes out
   unchanged. */
#include "../../activex/download/url_check.h"

#include <stdint.h>
#include <stdlib.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<wchar_t> url;
    bool ascii = true;
    for (size_t i = 0; i + 1 < size; i += 2) {
        wchar_t unit = (wchar_t)(data[i] | (data[i + 1] << 8));
        if (unit == 0)
            break;
        ascii = ascii && unit < 0x80;
        url.push_back(unit);
    }
    url.push_back(L'\0');
    int needed = EncodeFetchableUrl(url.data(), NULL, 0);
    if (needed == 0) {
        if (ascii && IsFetchableUrl(url.data()))
            abort();
        return 0;
    }
    std::vector<wchar_t> sent((size_t)needed + 1, L'#');
    if (EncodeFetchableUrl(url.data(), sent.data(), needed) != needed || sent[needed - 1] != L'\0' ||
        sent[needed] != L'#' || !IsFetchableUrl(sent.data()))
        abort();
    for (int i = 0; i + 1 < needed; i++)
        if (sent[i] == L'\0' || (unsigned int)sent[i] >= 0x80)
            abort();
    sent.pop_back();
    if (ascii && sent != url)
        abort();
    return 0;
}
