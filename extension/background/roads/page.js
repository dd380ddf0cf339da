/* The page button: the content script (content/bridge.js) opens a port
   named "corvala-print" per request and relays the states to the page.
   The page's own address, as the browser reports the sender, decides
   which origin the file may come from. */
import { api } from "../browser.js";
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
        report: relay(port),
      });
    });
  });
}
