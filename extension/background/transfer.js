/* The streaming road, for browsers that cannot name a download of their
   own (Firefox): fetch the spool file with the page's cookies and stream it
   to the print host, which writes it to a file of its own and starts the
   viewer.  Chromium lets the browser download the file instead
   (download_road.js). */
import { checkAnswer } from "./checks.js";
import { Crc32 } from "./crc32.js";
import { base64 } from "./encode.js";
import { PrintError } from "./errors.js";
import { newJobId } from "./host.js";

/* Raw bytes per chunk message, and chunks sent before waiting for an ack:
   the host holds about one chunk, the browser's pipe the others.  Posting
   a message to the host costs the worker more than its checksum and
   base64 together, and less per byte the larger it is: the protocol's
   largest chunk (4 MiB) took a 50 MB print from 1.03 s to 0.84 s against
   1 MiB (2 MiB: 0.93 s; 4 MiB with two in flight: 0.94 s). */
export const CHUNK_BYTES = 4 << 20;
const IN_FLIGHT = 4;

/* Redirects are followed as the browser follows them; where they ended
   and what came back are checked before a byte of the body is read. */
async function fetchSpool(url, origin) {
  let response;
  try {
    response = await fetch(url, { credentials: "include", redirect: "follow", cache: "no-store" });
  } catch (error) {
    throw new PrintError("http", `The spool file could not be fetched: ${error.message}`);
  }
  try {
    checkAnswer({ finalUrl: response.url, mime: response.headers.get("content-type") }, origin);
    if (!response.ok)
      throw new PrintError("http", `The server answered ${response.status} ${response.statusText}`.trim() + ".");
  } catch (error) {
    response.body?.cancel().catch(() => {});
    throw error;
  }
  return response;
}

/* The body's length when the headers tell it, otherwise -1. */
function declaredSize(response) {
  const length = response.headers.get("content-length");
  const coding = response.headers.get("content-encoding");
  if (length === null || (coding && coding !== "identity") || !/^\d+$/.test(length))
    return -1;
  return Number(length);
}

/* The begin and the first chunks go out at once, even before the host
   process has answered its hello: its start-up overlaps the download.
   `greeting` settles once the hello was answered. */
async function sendStream(host, greeting, response, onProgress, policyOrigin) {
  const job = newJobId();
  const size = declaredSize(response);
  host.send({ type: "begin", job, size, ...(policyOrigin ? { origin: policyOrigin } : {}) });
  const opened = greeting.then(() => host.expect("ready", job));
  opened.catch(() => {}); /* awaited below */

  const crc = new Crc32();
  const buffer = new Uint8Array(CHUNK_BYTES);
  let filled = 0, seq = 0, inFlight = 0, total = 0;
  const acked = async () => {
    await opened;
    const ack = await host.expect("ack", job);
    inFlight -= 1;
    onProgress(ack.received, size);
  };
  /* The next chunk is checksummed and encoded while the acks are awaited. */
  const sendChunk = async (bytes) => {
    crc.update(bytes);
    const data = base64(bytes);
    if (inFlight >= IN_FLIGHT)
      await acked();
    host.send({ type: "chunk", job, seq: seq++, data });
    inFlight += 1;
  };

  const reader = response.body.getReader();
  try {
    for (let part = await reader.read(); !part.done; part = await reader.read()) {
      const bytes = part.value;
      total += bytes.length;
      for (let at = 0; at < bytes.length;) {
        const n = Math.min(CHUNK_BYTES - filled, bytes.length - at);
        buffer.set(bytes.subarray(at, at + n), filled);
        filled += n;
        at += n;
        if (filled === CHUNK_BYTES) {
          await sendChunk(buffer);
          filled = 0;
        }
      }
    }
  } catch (error) {
    reader.cancel().catch(() => {});
    throw error instanceof PrintError ? error : new PrintError("http", `The download of the spool file broke off: ${error.message}`);
  }
  if (filled > 0)
    await sendChunk(buffer.subarray(0, filled));
  await opened;
  while (inFlight > 0)
    await acked();
  host.send({ type: "end", job, size: total, crc32: crc.value });
  await host.expect("done", job);
  return job;
}

/* Streams `address` (checked by the caller) to the host that `connect()`
   starts once the request is on its way: the host starts while the server
   answers.  The answer must come from `origin`.  `onProgress(received,
   total)` follows the acks (total -1 when unknown); `policyOrigin`, when
   given, goes to the host with the transfer.  Resolves with the job once
   the viewer was started. */
export async function streamToHost({ address, origin, connect, onProgress, policyOrigin }) {
  const answered = fetchSpool(address, origin);
  const { host, greeting } = connect();
  const response = await answered;
  try {
    return await sendStream(host, greeting, response, onProgress, policyOrigin);
  } catch (error) {
    response.body?.cancel().catch(() => {});
    throw error;
  }
}
