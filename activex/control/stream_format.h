/*
 * The control's property stream: what IPersistStreamInit and the "Contents"
 * stream of a storage hold.  Little-endian, no padding:
 *
 *   0   4  format version, 0x00000300
 *   4   4  _cx, unsigned, HIMETRIC
 *   8   4  _cy, unsigned, HIMETRIC
 *   12  2  VARTYPE of PrintFile
 *   14  .. the value: for a string a 4-byte byte length n (including the
 *          terminating zero character; 0 for a null string) and n bytes of
 *          UTF-16LE; for a number its 1, 2, 4 or 8 bytes
 *
 * A stream is untrusted input: the decoder accepts plain numbers and strings
 * only, never an object, and never allocates or reads more than a sane
 * property needs.  No COM and no Windows headers here, so that the decoder
 * also builds natively for fuzzing.
 */
#ifndef CORVALA_AX_STREAM_FORMAT_H
#define CORVALA_AX_STREAM_FORMAT_H

#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

namespace axstream {

const uint32_t kFormatVersion = 0x300;
/* The longest string value accepted, in bytes with its zero character. */
const uint32_t kMaxStringBytes = 64 * 1024;

/* The variant types that can appear in a stream (values of VARENUM). */
enum StoredType : uint16_t {
    kTypeI2 = 2, kTypeI4 = 3, kTypeR4 = 4, kTypeR8 = 5, kTypeCy = 6,
    kTypeDate = 7, kTypeBstr = 8, kTypeDispatch = 9, kTypeError = 10,
    kTypeBool = 11, kTypeUnknown = 13, kTypeI1 = 16, kTypeUI1 = 17,
    kTypeUI2 = 18, kTypeUI4 = 19, kTypeInt = 22, kTypeUInt = 23
};

/* The stored PrintFile value: a string, or a number kept as its raw
   little-endian bytes (numberSize of them). */
struct StoredValue {
    uint16_t type = kTypeBstr;
    bool isNull = false;         /* a string stored with length 0 */
    std::u16string text;         /* without the terminating zero */
    uint8_t number[8] = {};
    size_t numberSize = 0;
};

struct StoredProperties {
    uint32_t cx = 0;
    uint32_t cy = 0;
    StoredValue printFile;
};

enum class DecodeResult {
    Ok,
    Short,        /* the source ended (or failed) before the field was whole */
    BadVersion,   /* a version above kFormatVersion */
    BadType,      /* an object, or a type that is neither number nor string */
    BadLength,    /* odd, above kMaxStringBytes, or past the end of the data */
    BadText       /* a string whose last character is not a zero character */
};

/* Where the decoder's bytes come from: Read fills exactly size bytes or
   returns false. */
class ByteSource {
public:
    virtual bool Read(void *into, size_t size) = 0;
protected:
    ~ByteSource() = default;
};

/* Bytes of a memory block, for tests and the fuzzer. */
class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    bool Read(void *into, size_t size) override;
    size_t Remaining() const { return size_; }
private:
    const uint8_t *data_;
    size_t size_;
};

/* Size in bytes of a number type in the stream; 0 for anything else. */
size_t NumberSize(uint16_t type);

/* Reads a whole property stream into out.  out is written only on Ok. */
DecodeResult DecodeProperties(ByteSource &source, StoredProperties *out);

/* Appends the stream form of properties to out, under kFormatVersion.  A
   string is written up to its first zero character, followed by one zero
   character.  Returns false, writing nothing, for a string that the decoder
   would refuse as too long. */
bool EncodeProperties(const StoredProperties &properties, std::vector<uint8_t> *out);

} // namespace axstream

#endif
