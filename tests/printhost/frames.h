/* Crafted frames of the extension's side, for the host's tests and its
   benchmark driver. */
#ifndef CORVALA_TESTS_PRINTHOST_FRAMES_H
#define CORVALA_TESTS_PRINTHOST_FRAMES_H

#include <stdint.h>
#include <string>

/* The 4-byte little-endian length alone. */
std::string Header(uint32_t length);
/* A whole frame around json. */
std::string F(const std::string &json);
std::string Begin(const char *job, long long size);
/* A chunk of bytes as base64, or as Latin-1 text the way JSON.stringify writes it. */
std::string Chunk(const char *job, long long seq, const std::string &bytes, bool latin1 = false);
/* The end of a transfer of size bytes whose CRC-32 is crc. */
std::string End(const char *job, long long size, uint32_t crc);
std::string End(const char *job, const std::string &bytes);

#endif
