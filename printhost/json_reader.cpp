#include "json_reader.h"

#include <string.h>

size_t Utf8SequenceLength(const unsigned char *p, size_t available)
{
    if (available == 0)
        return 0;
    unsigned char lead = p[0];
    if (lead < 0x80)
        return 1;
    size_t length;
    unsigned low = 0x80, high = 0xBF;   /* range of the second byte */
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;                  /* no overlong forms */
        if (lead == 0xED)
            high = 0x9F;                 /* no surrogates */
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;                 /* nothing above U+10FFFF */
    } else
        return 0;
    if (available < length || p[1] < low || p[1] > high)
        return 0;
    for (size_t i = 2; i < length; i++)
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    return length;
}

namespace {

/* Printable ASCII other than the quote and the backslash: a string's bytes
   that stand for themselves. */
bool IsPlain(unsigned char c)
{
    return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

/* The end of the run of plain bytes from p on: the bulk of base64 and most
   text.  Eight bytes at a time: with no top bit set in the word, taking
   0x20 from each byte sets a top bit exactly when some byte is below 0x20,
   and taking 1 exactly when some byte is zero, that is, after the xor,
   the quote or the backslash. */
const char *PlainRun(const char *p, const char *end)
{
    const uint64_t ones = 0x0101010101010101ULL, tops = ones * 0x80;
    while (end - p >= 8) {
        uint64_t w;
        memcpy(&w, p, sizeof(w));
        uint64_t quote = w ^ (ones * '"'), backslash = w ^ (ones * '\\');
        if ((w | (w - ones * 0x20) | (quote - ones) | (backslash - ones)) & tops)
            break;
        p += 8;
    }
    while (p < end && IsPlain((unsigned char)*p))
        p++;
    return p;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/* The four hex digits at p (end bounds them), or -1. */
long Hex4(const char *p, const char *end)
{
    if (end - p < 4)
        return -1;
    long value = 0;
    for (int i = 0; i < 4; i++) {
        int digit = HexDigit(p[i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

/* Decodes the code point at *p of a string's raw text and advances *p;
   -1 when the text is not valid there. */
long NextCodePoint(const char **p, const char *end)
{
    const unsigned char *s = (const unsigned char *)*p;
    if (*s < 0x20 || *s == '"')
        return -1;
    if (*s != '\\') {
        size_t length = Utf8SequenceLength(s, end - *p);
        if (length == 0)
            return -1;
        long value = length == 1 ? s[0] : s[0] & (0x7F >> length);
        for (size_t i = 1; i < length; i++)
            value = (value << 6) | (s[i] & 0x3F);
        *p += length;
        return value;
    }
    if (end - *p < 2)
        return -1;
    static const char kEscapes[] = "\"\\/bfnrt";
    static const char kMeanings[] = "\"\\/\b\f\n\r\t";
    const char *known = strchr(kEscapes, (*p)[1]);
    if (known != NULL && (*p)[1] != '\0') {
        *p += 2;
        return (unsigned char)kMeanings[known - kEscapes];
    }
    if ((*p)[1] != 'u')
        return -1;
    long unit = Hex4(*p + 2, end);
    if (unit < 0 || (unit >= 0xDC00 && unit <= 0xDFFF))
        return -1;
    *p += 6;
    if (unit < 0xD800 || unit > 0xDBFF)
        return unit;
    /* A high surrogate needs its low half right after it. */
    if (end - *p < 6 || (*p)[0] != '\\' || (*p)[1] != 'u')
        return -1;
    long second = Hex4(*p + 2, end);
    if (second < 0xDC00 || second > 0xDFFF)
        return -1;
    *p += 6;
    return 0x10000 + ((unit - 0xD800) << 10) + (second - 0xDC00);
}

class Reader {
public:
    Reader(char *text, size_t length) : p_(text), end_(text + length) {}

    bool Object(JsonObject *object)
    {
        object->count = 0;
        SkipSpace();
        if (!Value(1, object, NULL))
            return false;
        SkipSpace();
        return p_ == end_;
    }

private:
    void SkipSpace()
    {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r'))
            p_++;
    }

    bool Take(char c)
    {
        SkipSpace();
        if (p_ < end_ && *p_ == c) {
            p_++;
            return true;
        }
        return false;
    }

    /* A value at the given depth.  The outermost one (top != NULL) must be
       an object, whose members are recorded in top. */
    bool Value(int depth, JsonObject *top, JsonValue *value)
    {
        JsonValue ignored;
        if (value == NULL)
            value = &ignored;
        SkipSpace();
        if (p_ == end_ || depth > JSON_MAX_DEPTH)
            return false;
        value->text = p_;
        if (*p_ == '{') {
            value->kind = JSON_OBJECT;
            return Members(depth, top) && Measure(value);
        }
        if (top != NULL)
            return false;
        if (*p_ == '[') {
            value->kind = JSON_ARRAY;
            return Elements(depth) && Measure(value);
        }
        if (*p_ == '"') {
            value->kind = JSON_STRING;
            return String(value);
        }
        if (*p_ == '-' || (*p_ >= '0' && *p_ <= '9')) {
            value->kind = JSON_NUMBER;
            return Number() && Measure(value);
        }
        value->kind = JSON_LITERAL;
        return (Word("true") || Word("false") || Word("null")) && Measure(value);
    }

    bool Measure(JsonValue *value)
    {
        value->length = p_ - value->text;
        return true;
    }

    bool Members(int depth, JsonObject *top)
    {
        p_++;   /* the brace */
        if (Take('}'))
            return true;
        do {
            SkipSpace();
            JsonValue key;
            if (p_ == end_ || *p_ != '"' || !String(&key) || !Take(':'))
                return false;
            JsonValue value;
            if (!Value(depth + 1, NULL, &value))
                return false;
            if (top != NULL && !Record(top, key, value))
                return false;
        } while (Take(','));
        return Take('}');
    }

    bool Elements(int depth)
    {
        p_++;   /* the bracket */
        if (Take(']'))
            return true;
        do {
            if (!Value(depth + 1, NULL, NULL))
                return false;
        } while (Take(','));
        return Take(']');
    }

    /* A string starting at the quote; value gets its raw contents. */
    bool String(JsonValue *value)
    {
        value->kind = JSON_STRING;
        value->text = ++p_;
        for (;;) {
            p_ = (char *)PlainRun(p_, end_);
            if (p_ == end_ || *p_ == '"')
                break;
            const char *at = p_;
            if (NextCodePoint(&at, end_) < 0)
                return false;
            p_ = (char *)at;
        }
        if (p_ == end_)
            return false;
        value->length = p_ - value->text;
        p_++;
        return true;
    }

    bool Digits()
    {
        const char *start = p_;
        while (p_ < end_ && *p_ >= '0' && *p_ <= '9')
            p_++;
        return p_ > start;
    }

    bool Number()
    {
        if (*p_ == '-')
            p_++;
        if (p_ < end_ && *p_ == '0')
            p_++;
        else if (!Digits())
            return false;
        if (p_ < end_ && *p_ == '.') {
            p_++;
            if (!Digits())
                return false;
        }
        if (p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
            p_++;
            if (p_ < end_ && (*p_ == '+' || *p_ == '-'))
                p_++;
            if (!Digits())
                return false;
        }
        return true;
    }

    bool Word(const char *word)
    {
        size_t length = strlen(word);
        if ((size_t)(end_ - p_) < length || memcmp(p_, word, length) != 0)
            return false;
        p_ += length;
        return true;
    }

    static bool Record(JsonObject *top, const JsonValue &key, const JsonValue &value)
    {
        if (top->count == JSON_MAX_MEMBERS)
            return false;
        JsonMember &member = top->members[top->count];
        size_t length = 0;
        if (!JsonStringBytes(key, 0x7F, (unsigned char *)member.key, JSON_KEY_CAPACITY - 1, &length))
            length = 0;   /* a name of no interest */
        member.key[length] = '\0';
        for (size_t i = 0; length > 0 && i < top->count; i++)
            if (strcmp(top->members[i].key, member.key) == 0)
                return false;
        member.value = value;
        top->count++;
        return true;
    }

    char *p_;
    char *end_;
};

} // namespace

bool JsonParseObject(char *text, size_t length, JsonObject *object)
{
    Reader reader(text, length);
    return reader.Object(object);
}

JsonValue JsonFind(const JsonObject &object, const char *key)
{
    for (size_t i = 0; i < object.count; i++)
        if (strcmp(object.members[i].key, key) == 0)
            return object.members[i].value;
    JsonValue absent = { JSON_ABSENT, NULL, 0 };
    return absent;
}

bool JsonInteger(const JsonValue &value, int64_t *number)
{
    if (value.kind != JSON_NUMBER)
        return false;
    size_t i = value.text[0] == '-' ? 1 : 0;
    if (value.length == i || value.length - i > 15)
        return false;
    int64_t magnitude = 0;
    for (; i < value.length; i++) {
        if (value.text[i] < '0' || value.text[i] > '9')
            return false;
        magnitude = magnitude * 10 + (value.text[i] - '0');
    }
    *number = value.text[0] == '-' ? -magnitude : magnitude;
    return true;
}

bool JsonStringBytes(const JsonValue &value, unsigned maxCodePoint, unsigned char *out, size_t capacity,
                     size_t *written)
{
    *written = 0;
    if (value.kind != JSON_STRING)
        return false;
    const char *p = value.text;
    const char *end = value.text + value.length;
    size_t count = 0;
    while (p < end) {
        const char *run = PlainRun(p, end);
        size_t plain = run - p;
        if (plain > capacity - count)
            return false;
        if (out + count != (const unsigned char *)p)   /* decoding in place moves nothing until an escape */
            memmove(out + count, p, plain);
        count += plain;
        p = run;
        if (p == end)
            break;
        long code = NextCodePoint(&p, end);
        if (code < 0 || (unsigned long)code > maxCodePoint || count == capacity)
            return false;
        out[count++] = (unsigned char)code;
    }
    *written = count;
    return true;
}

bool JsonStringUtf8(const JsonValue &value, char *out, size_t capacity, size_t *written)
{
    *written = 0;
    if (value.kind != JSON_STRING)
        return false;
    const char *p = value.text;
    const char *end = value.text + value.length;
    size_t count = 0;
    while (p < end) {
        const char *start = p;
        long code = NextCodePoint(&p, end);
        if (code < 0)
            return false;
        size_t length = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        if (length > capacity - count)
            return false;
        if (*start != '\\') {
            memmove(out + count, start, length);   /* a sequence stands for itself */
        } else if (length == 1) {
            out[count] = (char)code;
        } else {
            static const unsigned char kLeads[] = { 0, 0, 0xC0, 0xE0, 0xF0 };
            for (size_t i = length - 1; i > 0; i--, code >>= 6)
                out[count + i] = (char)(0x80 | (code & 0x3F));
            out[count] = (char)(kLeads[length] | code);
        }
        count += length;
    }
    *written = count;
    return true;
}
