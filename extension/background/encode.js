/* A chunk's bytes as the string the host reads back: each byte one code
   point 0..255 (the protocol's "latin1" form).  The browser's JSON writer
   sends printable ASCII, the bulk of a spool file, as one byte each, where
   base64 costs four for three. */
const PIECE = 8192;

export function latin1(bytes) {
  const pieces = [];
  for (let at = 0; at < bytes.length; at += PIECE)
    pieces.push(String.fromCharCode.apply(null, bytes.subarray(at, at + PIECE)));
  return pieces.join("");
}
