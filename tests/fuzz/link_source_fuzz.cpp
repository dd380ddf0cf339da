/* libFuzzer harness for the corvala: link check: any bytes as the only
   operand are judged without fault, and an accepted link yields an http or
   https URL inside it made of URL characters only. */
#include "../../viewer/link_source.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <strings.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string source((const char *)data, size);
    source = source.c_str(); /* an argument ends at its first NUL */
    const char *url = NULL;
    LinkVerdict verdict = CheckLinkSource(source.c_str(), 1, &url);
    if (verdict != LINK_ACCEPTED) {
        if (url != NULL)
            abort();
        return 0;
    }
    if (url != source.c_str() + strlen(LINK_SCHEME))
        abort();
    if (strncasecmp(url, "http://", 7) != 0 && strncasecmp(url, "https://", 8) != 0)
        abort();
    for (const char *p = url; *p != '\0'; ++p)
        if ((unsigned char)*p <= ' ' || (unsigned char)*p >= 0x7f || *p == '"' || *p == '\\')
            abort();
    if (CheckLinkSource(source.c_str(), 2, &url) != LINK_EXTRA_OPERANDS)
        abort();
    return 0;
}
