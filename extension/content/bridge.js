/* The page's print API.  A page of any http or https site posts
     {type: "corvala-print", id: "<string>", url: "<address>"}
   to its own window and gets back
     {type: "corvala-print-status", id, state}, state "started", "progress"
   ({received, total}), "done" or "error" ({message}), and after "done" one
   "outcome" ({outcome: "printed" with copies, "saved", "cancelled" or
   "failed" with message}); and
     {type: "corvala-print-ping"} is answered by
     {type: "corvala-print-pong", version}.
   Only messages of the page's own window count; the background decides
   whether the address may be printed. */
(() => {
  const api = globalThis.browser ?? globalThis.chrome;
  const origin = location.origin;
  const post = (message) => window.postMessage(message, origin);

  function print(id, url) {
    let handed = false, finished = false;
    const port = api.runtime.connect({ name: "corvala-print" });
    port.onMessage.addListener((status) => {
      post({ type: "corvala-print-status", id, ...status });
      handed ||= status.state === "done";
      finished = status.state === "outcome" || status.state === "error";
      if (finished)
        port.disconnect();
    });
    port.onDisconnect.addListener(() => {
      if (finished)
        return;
      const message = "The Corvala/400 extension stopped.";
      post(handed ? { type: "corvala-print-status", id, state: "outcome", outcome: "failed", message }
        : { type: "corvala-print-status", id, state: "error", message });
    });
    port.postMessage({ url: typeof url === "string" ? url : "" });
  }

  window.addEventListener("message", (event) => {
    const data = event.data;
    if (event.source !== window || event.origin !== origin || data === null || typeof data !== "object")
      return;
    if (data.type === "corvala-print-ping")
      post({ type: "corvala-print-pong", version: api.runtime.getManifest().version });
    else if (data.type === "corvala-print" && typeof data.id === "string")
      print(data.id, data.url);
  });
})();
