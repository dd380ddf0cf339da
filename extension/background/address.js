/* Which addresses a print may fetch: http or https, and only of the
   origin the request came from (a page, or the download's own address), so
   the page's session never goes to, or comes from, another site. */
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
