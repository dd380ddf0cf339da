/* What the user sees: the toolbar badge counts up while a large spool
   file travels, and a failure becomes a notification with its reason. */
import { api } from "./browser.js";

/* Smaller files go too fast for a badge to be read. */
const BADGE_FROM_BYTES = 4 << 20;

export class ProgressBadge {
  constructor(tabId) {
    this.where = tabId === undefined || tabId < 0 ? {} : { tabId };
    this.text = "";
  }

  show(received, total) {
    if (received < BADGE_FROM_BYTES && (total < 0 || total < BADGE_FROM_BYTES))
      return;
    const text = total > 0 ? `${Math.floor((100 * received) / total)}%` : `${Math.floor(received / (1 << 20))}M`;
    if (text !== this.text)
      this.set(text);
  }

  clear() {
    if (this.text !== "")
      this.set("");
  }

  set(text) {
    this.text = text;
    api.action.setBadgeText({ ...this.where, text }).catch(() => {});
  }
}

const TITLES = {
  address: "Corvala/400: address refused",
  http: "Corvala/400: the spool file could not be fetched",
  host: "Corvala/400: the print host failed",
  viewer: "Corvala/400: the viewer could not be started",
  transfer: "Corvala/400: printing failed",
};

export function notifyFailure(error) {
  api.notifications.create({
    type: "basic",
    iconUrl: api.runtime.getURL("icons/icon-48.png"),
    title: TITLES[error.reason] ?? TITLES.transfer,
    message: error.message,
  }).catch(() => {});
}
