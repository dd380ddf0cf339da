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

/* Slicing by 8: entry[k][b] is the CRC of byte b followed by k zero bytes,
   so eight bytes are folded in with eight independent lookups. */
struct CrcTable {
    uint32_t entry[8][256];
    CrcTable()
    {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int bit = 0; bit < 8; bit++)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entry[0][i] = c;
        }
        for (int k = 1; k < 8; k++)
            for (int i = 0; i < 256; i++)
                entry[k][i] = entry[0][entry[k - 1][i] & 0xFF] ^ (entry[k - 1][i] >> 8);
    }
};

const CrcTable kCrc;

} // namespace

bool Base64DecodeInPlace(unsigned char *data, size_t length, size_t *decoded)
{
    *decoded = 0;
    if (length % 4 != 0)
        return false;
    const unsigned char *v = kBase64.value;
    size_t in = 0, out = 0;
    /* Every group but the last: four letters, no padding ('=' is 64, other
       bytes 255, so one test refuses both). */
    for (; in + 4 < length; in += 4, out += 3) {
        uint32_t a = v[data[in]], b = v[data[in + 1]], c = v[data[in + 2]], d = v[data[in + 3]];
        if ((a | b | c | d) > 63)
            return false;
        uint32_t group = a << 18 | b << 12 | c << 6 | d;
        data[out] = (unsigned char)(group >> 16);
        data[out + 1] = (unsigned char)(group >> 8);
        data[out + 2] = (unsigned char)group;
    }
    if (in < length) {
        /* The last group may end in "xx==" or "xxx=". */
        uint32_t a = v[data[in]], b = v[data[in + 1]], c = v[data[in + 2]], d = v[data[in + 3]];
        int pad = d == 64 ? (c == 64 ? 2 : 1) : 0;
        if ((a | b) > 63 || (pad < 2 && c > 63) || (pad < 1 && d > 63))
            return false;
        uint32_t group = a << 18 | b << 12 | (pad < 2 ? c : 0) << 6 | (pad < 1 ? d : 0);
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
    const uint32_t(*t)[256] = kCrc.entry;
    crc = ~crc;
    for (; length >= 8; data += 8, length -= 8) {
        uint32_t low = crc ^ (data[0] | data[1] << 8 | data[2] << 16 | (uint32_t)data[3] << 24);
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
              t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (; length > 0; data++, length--)
        crc = t[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
