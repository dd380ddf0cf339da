/* The download takeover: a spool file the user downloads is printed
   instead of kept, without asking the server again.  Chromium: the
   browser's hook steers it into a folder of ours (or stops it, when its
   redirects ended on another site); Firefox, which has no such hook: it
   completes where it lands.  Then the host is given the finished file.
   Only when the host answers; otherwise, and for every other download
   (web pages among them), the browser goes on as usual.  When the print
   cannot be made, the user keeps the file and the notification names it. */
import { api } from "../browser.js";
import { checkAnswer, isWebPage, originOf } from "../checks.js";
import { determined, discard, follow, forget, whenComplete } from "../downloads_watch.js";
import { asPrintError, PrintError } from "../errors.js";
import { notifyFailure } from "../feedback.js";
import { awaitOutcome, handFile, newJobId, openHost } from "../host.js";

const SPOOL_MIME = "application/x-corvala400-ep";

function isSpoolFile(item) {
  return /^https?:/i.test(item.finalUrl || item.url) && !item.incognito && !isWebPage(item.mime) &&
    ((item.mime ?? "").toLowerCase() === SPOOL_MIME || /\.cvep$/i.test(item.filename ?? ""));
}

/* Hands the finished download to `host`; the file stays with the user
   when that fails. */
async function printFinished(id, host, job = newJobId()) {
  let path = null;
  try {
    path = (await whenComplete(id)).filename;
    await handFile(host, Promise.resolve(), path, null, job);
    await discard(id);
    await awaitOutcome(host, job);
  } catch (caught) {
    forget(id);
    const error = asPrintError(caught);
    notifyFailure(path ? new PrintError(error.reason, `${error.message} The file was kept: ${path}`) : error);
  } finally {
    host.close();
  }
}

/* Chromium: the hook's item, with the server's answer known. */
async function takeOver(item, suggest) {
  let host;
  try {
    host = await openHost();
  } catch {
    suggest();
    return;
  }
  try {
    checkAnswer({ finalUrl: item.finalUrl || item.url, mime: item.mime }, originOf(item.url));
  } catch (error) {
    await api.downloads.cancel(item.id).catch(() => {});
    suggest();
    await discard(item.id);
    host.close();
    notifyFailure(error);
    return;
  }
  /* named after its job, as the page's downloads: the browser may change
     the ending to suit the server's type, and the host knows the name */
  const job = newJobId();
  follow(item.id);
  suggest({ filename: `corvala/${job}.cvep`, conflictAction: "uniquify" });
  await printFinished(item.id, host, job);
}

/* Firefox: a download the page started; its name is final already. */
async function takeOverLanding(item) {
  if (item.byExtensionId || !isSpoolFile(item) || !/\.cvep$/i.test(item.filename ?? ""))
    return;
  follow(item.id);
  let host;
  try {
    host = await openHost();
  } catch {
    forget(item.id);
    return;
  }
  await printFinished(item.id, host);
}

export function installDownloadRoad() {
  const hook = api.downloads?.onDeterminingFilename;
  if (!hook) {
    api.downloads?.onCreated.addListener(takeOverLanding);
    return;
  }
  hook.addListener((item, suggest) => {
    if (item.byExtensionId === api.runtime.id) {
      determined(item, suggest); /* a download of our own road */
      return true;
    }
    if (!isSpoolFile(item)) {
      suggest();
      return false;
    }
    takeOver(item, suggest);
    return true;
  });
}
