/* A chunk's bytes as the protocol's base64 "data" string.  Measured in the
   worker (1 MiB, JSON included): the browser's own Uint8Array toBase64
   about 5 ms; the protocol's other form, a "latin1" string built with
   String.fromCharCode, about 34 ms, and the browser's JSON writer then
   escapes its control bytes six-fold.  Older browsers without toBase64
   take btoa over such a string (about 25 ms). */
const PIECE = 8192;

function viaBtoa(bytes) {
  const pieces = [];
  for (let at = 0; at < bytes.length; at += PIECE)
    pieces.push(String.fromCharCode.apply(null, bytes.subarray(at, at + PIECE)));
  return btoa(pieces.join(""));
}

export const base64 = Uint8Array.prototype.toBase64
  ? (bytes) => bytes.toBase64()
  : viaBtoa;
