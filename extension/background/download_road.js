/* The download road (Chromium): the browser downloads the spool file with
   its own machinery, as it downloads anything for the user (the page's
   session, redirects, its speed), into a folder of ours; the host is given
   the finished file, takes it over and starts the viewer.  One request per
   print, and the bytes never pass through the extension. */
import { api } from "./browser.js";
import { checkAnswer } from "./checks.js";
import { discard, whenComplete, whenDetermined } from "./downloads_watch.js";
import { PrintError } from "./errors.js";
import { handFile, newJobId } from "./host.js";

/* How often a running download's size is looked at for progress. */
const PROGRESS_POLL_MS = 250;
const PROGRESS_STEP = 4 << 20;

/* Calls onProgress every PROGRESS_STEP bytes while the download runs;
   returns the function that stops it. */
function watchProgress(id, onProgress) {
  let reported = 0;
  const timer = setInterval(async () => {
    const [item] = await api.downloads.search({ id }).catch(() => []);
    if (item && item.bytesReceived - reported >= PROGRESS_STEP) {
      reported = item.bytesReceived;
      onProgress(item.bytesReceived, item.totalBytes > 0 ? item.totalBytes : -1);
    }
  }, PROGRESS_POLL_MS);
  return () => clearInterval(timer);
}

/* Names the download after its job once the server's answer passed the
   checks, or stops it before anything lands.  The browser may change the
   ending to suit the server's type (a text answer gets ".txt"); the host
   knows the job's name in either form. */
async function admit(id, origin, job) {
  const { item, suggest } = await whenDetermined(id);
  try {
    checkAnswer({ finalUrl: item.finalUrl || item.url, mime: item.mime }, origin);
  } catch (error) {
    await api.downloads.cancel(id).catch(() => {});
    suggest();
    throw error;
  }
  suggest({ filename: `corvala/${job}.cvep`, conflictAction: "uniquify" });
}

/* Prints `address` (checked by the caller) through a download of ours;
   the answer must come from `origin`.  Same contract as streamToHost.
   Whatever happens, neither the file nor its entry in the browser's list
   stays behind. */
export async function downloadToHost({ address, origin, connect, onProgress, policyOrigin }) {
  let id;
  const started = api.downloads.download({ url: address, saveAs: false, conflictAction: "uniquify" });
  const { host, greeting } = connect();
  try {
    id = await started;
  } catch (error) {
    throw new PrintError("http", `The spool file could not be fetched: ${error?.message ?? error}`);
  }
  const stopProgress = watchProgress(id, onProgress);
  try {
    const job = newJobId();
    await admit(id, origin, job);
    const item = await whenComplete(id);
    stopProgress();
    onProgress(item.fileSize, item.fileSize);
    await handFile(host, greeting, item.filename, policyOrigin, job);
    return job;
  } finally {
    stopProgress();
    await discard(id);
  }
}
