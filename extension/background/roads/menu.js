/* The context-menu item on links of http and https pages. */
import { api, WEB_PATTERNS } from "../browser.js";
import { printJob } from "../print_job.js";

const MENU_ID = "corvala-print-link";

export function installMenuRoad() {
  api.runtime.onInstalled.addListener(() => {
    api.contextMenus.create({
      id: MENU_ID,
      title: "Print with Corvala/400",
      contexts: ["link"],
      documentUrlPatterns: WEB_PATTERNS,
      targetUrlPatterns: WEB_PATTERNS,
    });
  });
  api.contextMenus.onClicked.addListener((info, tab) => {
    if (info.menuItemId !== MENU_ID)
      return;
    printJob({ url: info.linkUrl, base: info.frameUrl || info.pageUrl, tabId: tab?.id });
  });
}
