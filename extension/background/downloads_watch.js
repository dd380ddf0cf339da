/* The downloads the extension follows: its own (the page button and the
   menu in Chromium) and the spool files it takes over.  For each, one
   record settles when the browser has determined where the file goes
   (Chromium's hook, with the server's answer known) and one when the
   download ended (complete or interrupted). */
import { api } from "./browser.js";
import { PrintError } from "./errors.js";

function deferred() {
  let resolve;
  const promise = new Promise((settle) => { resolve = settle; });
  return { promise, resolve };
}

const followed = new Map();   /* download id -> {determined, ended} */

function recordOf(id) {
  let record = followed.get(id);
  if (!record) {
    record = { determined: deferred(), ended: deferred() };
    followed.set(id, record);
  }
  return record;
}

/* From Chromium's hook: `item` is ours to name with `suggest`. */
export function determined(item, suggest) {
  recordOf(item.id).determined.resolve({ item, suggest });
}

/* Starts following a download the hook did not report (Firefox). */
export function follow(id) {
  recordOf(id);
}

function onChanged(delta) {
  const state = delta.state?.current;
  const record = followed.get(delta.id);
  if (record && (state === "complete" || state === "interrupted"))
    record.ended.resolve({ state, error: delta.error?.current });
}

export function installDownloadsWatch() {
  api.downloads?.onChanged.addListener(onChanged);
}

/* Why the browser gave a download up, in the user's words. */
function interruption(error) {
  if (/^SERVER_(BAD_CONTENT|NO_RANGE)$/.test(error ?? ""))
    return "The server has no such spool file.";
  if (/^SERVER_(UNAUTHORIZED|FORBIDDEN|CERT_PROBLEM)$/.test(error ?? ""))
    return "The server refused the spool file (the session may have ended).";
  if (/^NETWORK_/.test(error ?? "") || /^SERVER_/.test(error ?? ""))
    return `The spool file could not be fetched (${error}).`;
  return `The download of the spool file broke off (${error ?? "unknown reason"}).`;
}

/* A download may have ended before anyone followed it (a refused
   connection ends at once): its record learns that from the browser. */
async function catchUp(id, record) {
  const [item] = await api.downloads.search({ id }).catch(() => []);
  if (item?.state === "complete" || item?.state === "interrupted")
    record.ended.resolve({ state: item.state, error: item.error });
}

/* Settles once the browser determined the download's name: {item,
   suggest}; a PrintError when it ended before (a server's refusal). */
export async function whenDetermined(id) {
  const record = recordOf(id);
  catchUp(id, record);
  const early = record.ended.promise.then(({ error }) => { throw new PrintError("http", interruption(error)); });
  early.catch(() => {});
  return Promise.race([record.determined.promise, early]);
}

/* The finished download's item (its `filename` the absolute path), or a
   PrintError when it was interrupted. */
export async function whenComplete(id) {
  const record = recordOf(id);
  catchUp(id, record);
  const { state, error } = await record.ended.promise;
  if (state !== "complete")
    throw new PrintError("http", interruption(error));
  const [item] = await api.downloads.search({ id });
  if (!item?.filename)
    throw new PrintError("transfer", "The finished download could not be found.");
  return item;
}

export function forget(id) {
  followed.delete(id);
}

/* The download's file and its entry in the browser's list go away. */
export async function discard(id) {
  forget(id);
  await api.downloads.cancel(id).catch(() => {});
  await api.downloads.removeFile(id).catch(() => {});
  await api.downloads.erase({ id }).catch(() => {});
}
