/* One print requested by a page or a link's menu: the address checked,
   the file brought to the print host by the browser's road, progress on
   the badge and to the caller, failures as a notification and to the
   caller, and at the end what became of the print. */
import { api } from "./browser.js";
import { originOf, sameOriginAddress } from "./checks.js";
import { downloadToHost } from "./download_road.js";
import { asPrintError } from "./errors.js";
import { notifyFailure, ProgressBadge } from "./feedback.js";
import { awaitOutcome, HostSession } from "./host.js";
import { streamToHost } from "./transfer.js";

const BUSY = "A print is already under way in this tab; try again once it has reached the viewer.";

/* Tabs whose print is on its way to the viewer. */
const busyTabs = new Set();

/* Browsers that let an extension name its own downloads get the file by
   download; the others (Firefox) by a stream. */
function road() {
  return api.downloads?.onDeterminingFilename ? downloadToHost : streamToHost;
}

/* report(state, details) follows the page API's states: "started",
   "progress" ({received, total?}), "done", "error" ({message}) and, after
   "done", "outcome" ({outcome, copies | message}).  `policyOrigin` is the
   page's origin as the browser reported the sender, for the host's
   silent-printing policy; other roads give none. */
export async function printJob({ url, base, tabId, policyOrigin = null, report = () => {} }) {
  const tab = tabId ?? -1;
  if (tab >= 0 && busyTabs.has(tab)) {
    report("error", { message: BUSY });
    return;
  }
  if (tab >= 0)
    busyTabs.add(tab);
  const badge = new ProgressBadge(tabId);
  let host = null;
  /* The road asks for the host once its request is on its way: the host
     process starts while the server answers. */
  const connect = () => {
    host = new HostSession();
    const greeting = host.greet();
    greeting.catch(() => {}); /* awaited on the road */
    return { host, greeting };
  };
  try {
    const address = sameOriginAddress(url, base);
    report("started", {});
    const job = await road()({
      address, origin: originOf(base), connect, policyOrigin,
      onProgress: (received, total) => {
        badge.show(received, total);
        report("progress", total >= 0 ? { received, total } : { received });
      },
    });
    busyTabs.delete(tab);
    badge.clear();
    report("done", {});
    report("outcome", await awaitOutcome(host, job));
  } catch (caught) {
    const error = asPrintError(caught);
    notifyFailure(error);
    report("error", { message: error.message });
  } finally {
    busyTabs.delete(tab);
    badge.clear();
    host?.close();
  }
}
