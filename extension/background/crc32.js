/* CRC-32 as zlib computes it (IEEE polynomial, reflected), kept up to date
   piece by piece while the spool file streams through. */
const TABLE = (() => {
  const table = new Int32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++)
      c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c;
  }
  return table;
})();

export class Crc32 {
  constructor() {
    this.state = -1;
  }

  update(bytes) {
    let c = this.state;
    for (let i = 0; i < bytes.length; i++)
      c = TABLE[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
    this.state = c;
  }

  /* The unsigned value the host compares. */
  get value() {
    return ~this.state >>> 0;
  }
}
