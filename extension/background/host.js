/* A connection to the native print host: one port per print, opened with
   a hello.  Replies queue up until the transfer asks for them. */
import { api, HOST_NAME } from "./browser.js";
import { PrintError } from "./errors.js";

/* The first answer may wait for the host process to start. */
const HELLO_TIMEOUT_MS = 20000;
const REPLY_TIMEOUT_MS = 120000;

const HOST_MISSING = "The Corvala print host is not installed or could not be started.";

let jobCount = 0;

/* A job id of the protocol's form: it names the print, never a file. */
export function newJobId() {
  jobCount += 1;
  return `j${Date.now().toString(36)}-${jobCount}`;
}

export class HostSession {
  constructor() {
    this.inbox = [];
    this.waiter = null;
    this.failure = null;
    this.greeted = false;
    this.port = api.runtime.connectNative(HOST_NAME);
    this.port.onMessage.addListener((message) => this.deliver(message));
    this.port.onDisconnect.addListener((port) => {
      const why = api.runtime.lastError?.message ?? port?.error?.message;
      this.port = null;
      this.fail(new PrintError("host", this.greeted ? `The print host stopped${why ? `: ${why}` : "."}` : HOST_MISSING));
    });
  }

  deliver(message) {
    const waiter = this.waiter;
    this.waiter = null;
    if (waiter)
      waiter.resolve(message);
    else
      this.inbox.push(message);
  }

  fail(error) {
    this.failure ??= error;
    const waiter = this.waiter;
    this.waiter = null;
    waiter?.reject(this.failure);
  }

  send(message) {
    if (this.failure)
      throw this.failure;
    this.port.postMessage(message);
  }

  receive(timeoutMs) {
    if (this.inbox.length > 0)
      return Promise.resolve(this.inbox.shift());
    if (this.failure)
      return Promise.reject(this.failure);
    return new Promise((resolve, reject) => {
      const timer = timeoutMs === null ? undefined
        : setTimeout(() => this.fail(new PrintError("host", "The print host did not answer.")), timeoutMs);
      const settle = (how) => (value) => { clearTimeout(timer); how(value); };
      this.waiter = { resolve: settle(resolve), reject: settle(reject) };
    });
  }

  /* The next reply, which must be of `type` (for `job`); an error reply
     becomes a PrintError with the host's text.  A `timeoutMs` of null
     waits as long as the port lives. */
  async expect(type, job, timeoutMs = REPLY_TIMEOUT_MS) {
    const reply = await this.receive(timeoutMs);
    if (reply?.type === "error")
      throw new PrintError(reply.reason === "viewer" ? "viewer" : "host", reply.message || `The print host refused the print (${reply.reason}).`);
    if (reply?.type !== type || (job !== undefined && reply.job !== job))
      throw new PrintError("host", `The print host answered out of turn (${reply?.type}).`);
    return reply;
  }

  /* Says hello; resolves once the host answered it.  Other messages may
     follow at once: the browser holds them until the host reads them. */
  async greet() {
    this.send({ type: "hello" });
    await this.expect("hello", undefined, HELLO_TIMEOUT_MS);
    this.greeted = true;
  }

  close() {
    const port = this.port;
    this.port = null;
    this.fail(new PrintError("host", "The connection to the print host was closed."));
    port?.disconnect();
  }
}

/* Gives the host a finished download of ours, the one file a message may
   name; the host takes it over and starts the viewer.  Resolves with the
   job once the viewer was started. */
export async function handFile(host, greeting, path, policyOrigin, job = newJobId()) {
  await greeting;
  host.send({ type: "file", job, path, ...(policyOrigin ? { origin: policyOrigin } : {}) });
  await host.expect("done", job);
  return job;
}

const OUTCOMES = new Set(["printed", "saved", "cancelled", "failed"]);

/* What became of the print once the viewer ended: {outcome, copies} for
   "printed", {outcome, message} for "failed", {outcome} otherwise.  A host
   that goes before telling makes it "failed". */
export async function awaitOutcome(host, job) {
  let reply;
  try {
    reply = await host.expect("outcome", job, null);
  } catch (error) {
    return { outcome: "failed", message: `The print host stopped before the viewer told what became of the print (${error.message})` };
  }
  const outcome = OUTCOMES.has(reply.outcome) ? reply.outcome : "failed";
  if (outcome === "printed")
    return { outcome, copies: Number.isInteger(reply.copies) ? reply.copies : 1 };
  if (outcome === "failed")
    return { outcome, message: String(reply.message ?? "The viewer could not print the spool file.") };
  return { outcome };
}

/* A session whose host answered hello, or a PrintError. */
export async function openHost() {
  const session = new HostSession();
  try {
    await session.greet();
    return session;
  } catch (error) {
    session.close();
    throw error;
  }
}
