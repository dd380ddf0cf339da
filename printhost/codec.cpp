#include "codec.h"

namespace {

/* 0..63 for a base64 letter, 64 for '=', 255 for anything else. */
struct Base64Table {
    unsigned char value[256];
    Base64Table()
    {
        const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 256; i++)
            value[i] = 255;
        for (int i = 0; i < 64; i++)
            value[(unsigned char)letters[i]] = (unsigned char)i;
        value['='] = 64;
    }
};

const Base64Table kBase64;

struct CrcTable {
    uint32_t entry[256];
    CrcTable()
    {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int bit = 0; bit < 8; bit++)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entry[i] = c;
        }
    }
};

const CrcTable kCrc;

} // namespace

bool Base64DecodeInPlace(unsigned char *data, size_t length, size_t *decoded)
{
    *decoded = 0;
    if (length % 4 != 0)
        return false;
    size_t out = 0;
    for (size_t in = 0; in < length; in += 4) {
        unsigned v[4];
        for (int i = 0; i < 4; i++)
            v[i] = kBase64.value[data[in + i]];
        bool last = in + 4 == length;
        /* Padding only at the very end: "xx==" or "xxx=". */
        int pad = (last && v[3] == 64) ? (v[2] == 64 ? 2 : 1) : 0;
        for (int i = 0; i < 4 - pad; i++)
            if (v[i] > 63)
                return false;
        uint32_t group = (v[0] << 18) | (v[1] << 12) | ((pad < 2 ? v[2] : 0) << 6) | (pad < 1 ? v[3] : 0);
        data[out++] = (unsigned char)(group >> 16);
        if (pad < 2)
            data[out++] = (unsigned char)(group >> 8);
        if (pad < 1)
            data[out++] = (unsigned char)group;
    }
    *decoded = out;
    return true;
}

uint32_t Crc32Update(uint32_t crc, const unsigned char *data, size_t length)
{
    crc = ~crc;
    for (size_t i = 0; i < length; i++)
        crc = kCrc.entry[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
