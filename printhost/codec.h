/* The byte codings of the print host's chunks: base64 (decoded in place)
   and the CRC-32 that checks a whole transfer.  Free of Windows calls. */
#ifndef CORVALA_PRINTHOST_CODEC_H
#define CORVALA_PRINTHOST_CODEC_H

#include <stddef.h>
#include <stdint.h>

/* Decodes standard base64 with its padding (length a multiple of four, no
   blanks) into data itself; false when it is not such text. */
bool Base64DecodeInPlace(unsigned char *data, size_t length, size_t *decoded);

/* Continues a CRC-32 (IEEE, as zlib's crc32()) over data; start with 0. */
uint32_t Crc32Update(uint32_t crc, const unsigned char *data, size_t length);

#endif
