#include "json_writer.h"

#include <stdio.h>

#include "json_reader.h"

void JsonWriter::Key(const char *key)
{
    if (text_.size() > 1)
        text_ += ',';
    text_ += '"';
    text_ += key;
    text_ += "\":";
}

JsonWriter &JsonWriter::String(const char *key, const std::string &value, size_t maxBytes)
{
    Key(key);
    text_ += '"';
    const unsigned char *p = (const unsigned char *)value.data();
    size_t size = value.size();
    size_t start = text_.size();   /* the cut counts the bytes written, escapes included */
    for (size_t i = 0; i < size && text_.size() - start < maxBytes;) {
        size_t length = Utf8SequenceLength(p + i, size - i);
        if (length == 0) {
            text_ += '?';
            i++;
        } else if (p[i] == '"' || p[i] == '\\') {
            text_ += '\\';
            text_ += (char)p[i++];
        } else if (p[i] < 0x20) {
            char escape[8];
            snprintf(escape, sizeof(escape), "\\u%04x", p[i++]);
            text_ += escape;
        } else {
            text_.append((const char *)p + i, length);
            i += length;
        }
    }
    text_ += '"';
    return *this;
}

JsonWriter &JsonWriter::Number(const char *key, int64_t value)
{
    Key(key);
    text_ += std::to_string((long long)value);
    return *this;
}
