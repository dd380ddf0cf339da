/* The common end of every road: fetch the spool file with the page's
   cookies and stream it to the print host, which starts the viewer. */
import { sameOriginAddress } from "./address.js";
import { Crc32 } from "./crc32.js";
import { base64 } from "./encode.js";
import { PrintError } from "./errors.js";
import { HostSession } from "./host.js";

/* Raw bytes per chunk message, and chunks sent before waiting for an ack:
   the host holds about one chunk, the browser's pipe the others.  Posting
   a message to the host costs the worker more than its checksum and
   base64 together, and less per byte the larger it is: the protocol's
   largest chunk (4 MiB) took a 50 MB print from 1.03 s to 0.84 s against
   1 MiB (2 MiB: 0.93 s; 4 MiB with two in flight: 0.94 s). */
export const CHUNK_BYTES = 4 << 20;
const IN_FLIGHT = 4;

let jobCount = 0;

function newJobId() {
  jobCount += 1;
  return `j${Date.now().toString(36)}-${jobCount}`;
}

/* A redirect is never followed: its target could be another site, which
   would get its own cookies sent along before anyone could look at it. */
async function fetchSpool(url) {
  let response;
  try {
    response = await fetch(url, { credentials: "include", redirect: "manual", cache: "no-store" });
  } catch (error) {
    throw new PrintError("http", `The spool file could not be fetched: ${error.message}`);
  }
  if (response.type === "opaqueredirect" || response.redirected)
    throw new PrintError("address", "The server redirected the request for the spool file; redirects are not followed.");
  if (!response.ok) {
    response.body?.cancel().catch(() => {});
    throw new PrintError("http", `The server answered ${response.status} ${response.statusText}`.trim() + ".");
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
async function streamToHost(host, greeting, response, onProgress) {
  const job = newJobId();
  const size = declaredSize(response);
  host.send({ type: "begin", job, size });
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
}

/* Prints `url`, which must be of `base`'s origin.  `session` is a host
   session already opened (the download road opens it first); otherwise the
   host starts while the request is on its way.  `onProgress(received,
   total)` follows the acks; total is -1 when unknown. */
export async function printAddress(url, base, onProgress, session = null) {
  const address = sameOriginAddress(url, base);
  const host = session ?? new HostSession();
  const greeting = session ? Promise.resolve() : host.greet();
  greeting.catch(() => {}); /* awaited in the transfer */
  let response;
  try {
    response = await fetchSpool(address);
  } catch (error) {
    host.close();
    throw error;
  }
  try {
    await streamToHost(host, greeting, response, onProgress);
  } catch (error) {
    response.body?.cancel().catch(() => {});
    throw error;
  } finally {
    host.close();
  }
}
