/* Reading and writing the control's property stream; see stream_format.h. */
#include "stream_format.h"

#include <string.h>

namespace axstream {

bool MemorySource::Read(void *into, size_t size)
{
    if (size > size_)
        return false;
    if (size != 0)
        memcpy(into, data_, size);
    data_ += size;
    size_ -= size;
    return true;
}

size_t NumberSize(uint16_t type)
{
    switch (type) {
    case kTypeI1: case kTypeUI1:
        return 1;
    case kTypeI2: case kTypeBool: case kTypeUI2:
        return 2;
    case kTypeI4: case kTypeR4: case kTypeError: case kTypeUI4:
    case kTypeInt: case kTypeUInt:
        return 4;
    case kTypeR8: case kTypeCy: case kTypeDate:
        return 8;
    default:
        return 0;
    }
}

static bool ReadU16(ByteSource &source, uint16_t *value)
{
    uint8_t b[2];
    if (!source.Read(b, sizeof b))
        return false;
    *value = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
}

static bool ReadU32(ByteSource &source, uint32_t *value)
{
    uint8_t b[4];
    if (!source.Read(b, sizeof b))
        return false;
    *value = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
             (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

/* A length-prefixed UTF-16LE string.  The length is checked before anything
   is allocated, so a stream cannot ask for more than kMaxStringBytes. */
static DecodeResult ReadString(ByteSource &source, StoredValue *value)
{
    uint32_t bytes;
    if (!ReadU32(source, &bytes))
        return DecodeResult::Short;
    if (bytes == 0) {
        value->isNull = true;
        return DecodeResult::Ok;
    }
    if (bytes % 2 != 0 || bytes > kMaxStringBytes)
        return DecodeResult::BadLength;
    std::vector<uint8_t> raw(bytes);
    if (!source.Read(raw.data(), bytes))
        return DecodeResult::BadLength;
    size_t chars = bytes / 2;
    if (raw[bytes - 2] != 0 || raw[bytes - 1] != 0)
        return DecodeResult::BadText;
    value->text.resize(chars - 1);
    for (size_t i = 0; i + 1 < chars; i++)
        value->text[i] = static_cast<char16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
    return DecodeResult::Ok;
}

static DecodeResult ReadValue(ByteSource &source, StoredValue *value)
{
    if (!ReadU16(source, &value->type))
        return DecodeResult::Short;
    if (value->type == kTypeBstr)
        return ReadString(source, value);
    value->numberSize = NumberSize(value->type);
    if (value->numberSize == 0)
        return DecodeResult::BadType;
    if (!source.Read(value->number, value->numberSize))
        return DecodeResult::Short;
    return DecodeResult::Ok;
}

DecodeResult DecodeProperties(ByteSource &source, StoredProperties *out)
{
    uint32_t version;
    StoredProperties read;
    if (!ReadU32(source, &version))
        return DecodeResult::Short;
    if (version > kFormatVersion)
        return DecodeResult::BadVersion;
    if (!ReadU32(source, &read.cx) || !ReadU32(source, &read.cy))
        return DecodeResult::Short;
    DecodeResult result = ReadValue(source, &read.printFile);
    if (result == DecodeResult::Ok)
        *out = read;
    return result;
}

static void PutU16(std::vector<uint8_t> *out, uint16_t value)
{
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
}

static void PutU32(std::vector<uint8_t> *out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out->push_back(static_cast<uint8_t>(value >> shift));
}

bool EncodeProperties(const StoredProperties &properties, std::vector<uint8_t> *out)
{
    const StoredValue &value = properties.printFile;
    size_t chars = value.text.find(u'\0');
    if (chars == std::u16string::npos)
        chars = value.text.size();
    if (value.type == kTypeBstr && !value.isNull && 2 * chars + 2 > kMaxStringBytes)
        return false;
    PutU32(out, kFormatVersion);
    PutU32(out, properties.cx);
    PutU32(out, properties.cy);
    PutU16(out, value.type);
    if (value.type != kTypeBstr) {
        out->insert(out->end(), value.number, value.number + NumberSize(value.type));
        return true;
    }
    if (value.isNull) {
        PutU32(out, 0);
        return true;
    }
    PutU32(out, static_cast<uint32_t>(2 * chars + 2));
    for (size_t i = 0; i < chars; i++)
        PutU16(out, static_cast<uint16_t>(value.text[i]));
    PutU16(out, 0);
    return true;
}

} // namespace axstream
