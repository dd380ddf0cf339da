/* The checks every print passes, whichever road it takes: before anything
   is asked of the server, the address (http or https, and of the origin the
   request came from); once the server has answered, where the answer came
   from after redirects and what it is.  So the page's session never goes to
   another site by our doing, and what comes from elsewhere, or a web page
   such as a login form, never reaches the printer. */
import { PrintError } from "./errors.js";

export function originOf(url) {
  try {
    return new URL(url).origin;
  } catch {
    return "null";
  }
}

/* The absolute address of `url` (relative to `base`), or a PrintError. */
export function sameOriginAddress(url, base) {
  let target;
  try {
    target = new URL(url, base);
  } catch {
    throw new PrintError("address", "The address of the spool file is not valid.");
  }
  if (target.protocol !== "http:" && target.protocol !== "https:")
    throw new PrintError("address", "Only http and https addresses can be printed.");
  if (target.origin !== originOf(base))
    throw new PrintError("address", "Only spool files of the page's own site can be printed.");
  return target.href;
}

function mediaType(mime) {
  return String(mime ?? "").split(";")[0].trim().toLowerCase();
}

export function isWebPage(mime) {
  return mediaType(mime) === "text/html";
}

/* The server's answer: `finalUrl`, where the redirects (if any) ended, and
   its `mime` type.  A PrintError unless it may be printed for `origin`. */
export function checkAnswer({ finalUrl, mime }, origin) {
  if (originOf(finalUrl) !== origin)
    throw new PrintError("address", "The server sent the request on to another site; nothing was printed.");
  if (isWebPage(mime))
    throw new PrintError("http",
      "The server answered with a web page instead of a spool file (the session may have ended); nothing was printed.");
}
