/* One print from any road: progress on the badge and to the caller,
   failures as a notification and to the caller. */
import { sameOriginAddress } from "./address.js";
import { asPrintError } from "./errors.js";
import { notifyFailure, ProgressBadge } from "./feedback.js";
import { printAddress } from "./transfer.js";

/* report(state, details) follows the page API's states: "started",
   "progress" ({received, total?}), "done", "error" ({message}). */
export async function printJob({ url, base, tabId, session = null, report = () => {} }) {
  const badge = new ProgressBadge(tabId);
  try {
    const address = sameOriginAddress(url, base);
    report("started", {});
    await printAddress(address, base, (received, total) => {
      badge.show(received, total);
      report("progress", total >= 0 ? { received, total } : { received });
    }, session);
    report("done", {});
  } catch (caught) {
    const error = asPrintError(caught);
    notifyFailure(error);
    report("error", { message: error.message });
  } finally {
    badge.clear();
  }
}
