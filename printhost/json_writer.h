/* Composing the host's replies: small JSON objects of string and number
   members.  Free of Windows calls. */
#ifndef CORVALA_PRINTHOST_JSON_WRITER_H
#define CORVALA_PRINTHOST_JSON_WRITER_H

#include <stdint.h>
#include <string>

class JsonWriter {
public:
    JsonWriter() : text_("{") {}
    /* Adds a string member; the value is cut after about maxBytes bytes of
       its written form (on a character boundary) and bytes that are not
       UTF-8 become '?'. */
    JsonWriter &String(const char *key, const std::string &value, size_t maxBytes = 512);
    JsonWriter &Number(const char *key, int64_t value);
    /* The object, closed. */
    std::string Text() const { return text_ + "}"; }

private:
    void Key(const char *key);
    std::string text_;
};

#endif
