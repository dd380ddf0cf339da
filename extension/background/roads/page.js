/* The page button: the content script (content/bridge.js) opens a port
   named "corvala-print" per request and relays the states to the page.
   The page's own address, as the browser reports the sender, decides
   which origin the file may come from, and its origin is what the host's
   silent-printing policy is asked about. */
import { api } from "../browser.js";
import { originOf } from "../checks.js";
import { printJob } from "../print_job.js";

export const PAGE_PORT = "corvala-print";

function relay(port) {
  return (state, details) => {
    try {
      port.postMessage({ ...details, state });
    } catch {
      /* the page went away; the print goes on */
    }
  };
}

export function installPageRoad() {
  api.runtime.onConnect.addListener((port) => {
    if (port.name !== PAGE_PORT || !port.sender?.url)
      return;
    port.onMessage.addListener((request) => {
      printJob({
        url: String(request?.url ?? ""),
        base: port.sender.url,
        tabId: port.sender.tab?.id,
        policyOrigin: port.sender.origin ?? originOf(port.sender.url),
        report: relay(port),
      });
    });
  });
}
