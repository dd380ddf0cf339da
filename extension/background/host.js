/* A connection to the native print host: one port per print, opened with
   a hello.  Replies queue up until the transfer asks for them. */
import { api, HOST_NAME } from "./browser.js";
import { PrintError } from "./errors.js";

/* The first answer may wait for the host process to start. */
const HELLO_TIMEOUT_MS = 20000;
const REPLY_TIMEOUT_MS = 120000;

const HOST_MISSING = "The Corvala print host is not installed or could not be started.";

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
      const timer = setTimeout(() => this.fail(new PrintError("host", "The print host did not answer.")), timeoutMs);
      const settle = (how) => (value) => { clearTimeout(timer); how(value); };
      this.waiter = { resolve: settle(resolve), reject: settle(reject) };
    });
  }

  /* The next reply, which must be of `type` (for `job`); an error reply
     becomes a PrintError with the host's text. */
  async expect(type, job, timeoutMs = REPLY_TIMEOUT_MS) {
    const reply = await this.receive(timeoutMs);
    if (reply?.type === "error")
      throw new PrintError(reply.reason === "viewer" ? "viewer" : "host", reply.message || `The print host refused the transfer (${reply.reason}).`);
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
