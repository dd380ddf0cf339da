/* libFuzzer harness for the control's property-stream decoder: any bytes
   either decode or are refused, never read or allocate past their bounds,
   and what decodes encodes back to bytes that decode to the same values. */
#include "stream_format.h"

#include <stdlib.h>
#include <string.h>

using namespace axstream;

static bool SameValue(const StoredValue &a, const StoredValue &b)
{
    if (a.type != b.type || a.isNull != b.isNull || a.numberSize != b.numberSize)
        return false;
    if (a.type != kTypeBstr)
        return memcmp(a.number, b.number, a.numberSize) == 0;
    /* Saving keeps a string up to its first zero character. */
    return a.text.substr(0, a.text.find(u'\0')) == b.text;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MemorySource source(data, size);
    StoredProperties decoded;
    if (DecodeProperties(source, &decoded) != DecodeResult::Ok)
        return 0;
    if (decoded.printFile.type == kTypeBstr && decoded.printFile.text.size() > kMaxStringBytes / 2)
        abort();
    std::vector<uint8_t> bytes;
    if (!EncodeProperties(decoded, &bytes))
        abort();
    MemorySource again(bytes.data(), bytes.size());
    StoredProperties reread;
    if (DecodeProperties(again, &reread) != DecodeResult::Ok || again.Remaining() != 0 ||
        reread.cx != decoded.cx || reread.cy != decoded.cy || !SameValue(decoded.printFile, reread.printFile))
        abort();
    return 0;
}
