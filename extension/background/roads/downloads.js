/* The download takeover (Chromium): a spool file the browser is about to
   save is cancelled and erased before anything lands, then printed from
   its own address.  Only when the print host answers; otherwise, and for
   every other download, the browser goes on as usual. */
import { api } from "../browser.js";
import { openHost } from "../host.js";
import { printJob } from "../print_job.js";

const SPOOL_MIME = "application/x-corvala400-ep";

function isSpoolFile(item) {
  const url = item.finalUrl || item.url;
  return /^https?:/i.test(url) && !item.incognito &&
    ((item.mime ?? "").toLowerCase() === SPOOL_MIME || /\.cvep$/i.test(item.filename ?? ""));
}

async function takeOver(item, suggest) {
  let session;
  try {
    session = await openHost();
  } catch {
    suggest();
    return;
  }
  await api.downloads.cancel(item.id).catch(() => {});
  await api.downloads.erase({ id: item.id }).catch(() => {});
  const url = item.finalUrl || item.url;
  await printJob({ url, base: url, session });
}

export function installDownloadRoad() {
  const hook = api.downloads?.onDeterminingFilename;
  if (!hook)
    return; /* Firefox has no such hook: the page button and the menu remain */
  hook.addListener((item, suggest) => {
    if (!isSpoolFile(item)) {
      suggest();
      return false;
    }
    takeOver(item, suggest);
    return true;
  });
}
