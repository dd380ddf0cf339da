#include "frames.h"

#include <stdio.h>

#include "codec.h"

std::string Header(uint32_t length)
{
    char bytes[4] = { (char)length, (char)(length >> 8), (char)(length >> 16), (char)(length >> 24) };
    return std::string(bytes, 4);
}

std::string F(const std::string &json)
{
    return Header((uint32_t)json.size()) + json;
}

std::string Begin(const char *job, long long size)
{
    return F(std::string(R"({"type":"begin","job":")") + job + R"(","size":)" + std::to_string(size) + "}");
}

static std::string Base64(const std::string &bytes)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve(bytes.size() / 3 * 4 + 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned group = (unsigned char)bytes[i] << 16;
        group |= i + 1 < bytes.size() ? (unsigned char)bytes[i + 1] << 8 : 0;
        group |= i + 2 < bytes.size() ? (unsigned char)bytes[i + 2] : 0;
        for (size_t k = 0; k < 4; k++)
            text += i + k <= bytes.size() ? letters[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return text;
}

static std::string Latin1(const std::string &bytes)
{
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        if (c < 0x20) {
            char escape[8];
            snprintf(escape, sizeof(escape), "\\u%04x", c);
            text += escape;
        } else if (c == '"' || c == '\\') {
            text += '\\';
            text += (char)c;
        } else if (c < 0x80) {
            text += (char)c;
        } else {
            text += (char)(0xC0 | (c >> 6));
            text += (char)(0x80 | (c & 0x3F));
        }
    }
    return text;
}

std::string Chunk(const char *job, long long seq, const std::string &bytes, bool latin1)
{
    return F(std::string(R"({"type":"chunk","job":")") + job + R"(","seq":)" + std::to_string(seq) +
             (latin1 ? R"(,"latin1":")" + Latin1(bytes) : R"(,"data":")" + Base64(bytes)) + "\"}");
}

std::string End(const char *job, long long size, uint32_t crc)
{
    return F(std::string(R"({"type":"end","job":")") + job + R"(","size":)" + std::to_string(size) +
             R"(,"crc32":)" + std::to_string(crc) + "}");
}

std::string End(const char *job, const std::string &bytes)
{
    return End(job, (long long)bytes.size(), Crc32Update(0, (const unsigned char *)bytes.data(), bytes.size()));
}
