/* A reader for the small JSON objects the browser extension sends: one
   object whose members are looked up by name.  It checks the whole text
   (nested values included, UTF-8 and escapes) but copies nothing: values
   point into the caller's text, and a string is decoded only when asked,
   in place if the caller likes.  Free of Windows calls, so it also builds
   natively for the fuzzer. */
#ifndef CORVALA_PRINTHOST_JSON_READER_H
#define CORVALA_PRINTHOST_JSON_READER_H

#include <stddef.h>
#include <stdint.h>

enum JsonKind { JSON_ABSENT, JSON_STRING, JSON_NUMBER, JSON_LITERAL, JSON_OBJECT, JSON_ARRAY };

struct JsonValue {
    JsonKind kind;
    char *text;       /* a string's raw contents between its quotes, or the value's literal text */
    size_t length;
};

enum { JSON_MAX_MEMBERS = 16, JSON_MAX_DEPTH = 16, JSON_KEY_CAPACITY = 16 };

struct JsonMember {
    char key[JSON_KEY_CAPACITY];   /* decoded; empty when longer than fits or not ASCII */
    JsonValue value;
};

struct JsonObject {
    size_t count;
    JsonMember members[JSON_MAX_MEMBERS];
};

/* Reads text as one JSON object with at most JSON_MAX_MEMBERS members,
   nesting at most JSON_MAX_DEPTH deep and no member name twice.  false for
   anything else: a syntax fault, invalid UTF-8, a lone surrogate. */
bool JsonParseObject(char *text, size_t length, JsonObject *object);

/* The member named key, or a value of kind JSON_ABSENT. */
JsonValue JsonFind(const JsonObject &object, const char *key);

/* A number written as a plain integer (no fraction or exponent) of at most
   15 digits. */
bool JsonInteger(const JsonValue &value, int64_t *number);

/* Decodes a string into bytes, one byte per code point; false when a code
   point exceeds maxCodePoint or more than capacity bytes would be written.
   out may be value.text itself: the bytes never run ahead of the text. */
bool JsonStringBytes(const JsonValue &value, unsigned maxCodePoint, unsigned char *out, size_t capacity,
                     size_t *written);

/* Decodes a string into UTF-8; false when more than capacity bytes would
   be written.  out may be value.text itself, as above. */
bool JsonStringUtf8(const JsonValue &value, char *out, size_t capacity, size_t *written);

/* The length of the valid UTF-8 sequence at p (at most available bytes),
   or 0 when it is not one. */
size_t Utf8SequenceLength(const unsigned char *p, size_t available);

#endif
