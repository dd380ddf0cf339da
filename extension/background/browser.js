/* The one extension API object for both browser families, and the names
   the extension shares with the print host. */
export const api = globalThis.browser ?? globalThis.chrome;

export const HOST_NAME = "com.corvala.print";

/* Pages and links the extension serves: any http or https site. */
export const WEB_PATTERNS = ["http://*/*", "https://*/*"];
