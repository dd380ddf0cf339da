#!/usr/bin/env python3
"""Loopback HTTP server for the URL tests.

  /files/<name>            the file <root>/<name>
  /status/<code>           that status with a small HTML error page
  /drop/<name>?after=N     headers promising the whole file, N bytes, then the
                           connection is closed
  /stats/<path>            how many times <path> was requested
Every answer forbids caching, so a test never sees another test's data.
"""
import http.server
import os
import socketserver
import sys
import threading
import urllib.parse

ROOT = sys.argv[2] if len(sys.argv) > 2 else "."
COUNTS = {}
LOCK = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):
        sys.stderr.write("%s\n" % (fmt % args))

    def send_body(self, code, body, length=None, ctype="application/octet-stream"):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.send_header("Cache-Control", "no-store, no-cache")
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        path = url.path
        query = urllib.parse.parse_qs(url.query)
        if path.startswith("/stats/"):
            with LOCK:
                count = COUNTS.get(path[len("/stats"):], 0)
            return self.send_body(200, str(count).encode(), ctype="text/plain")
        with LOCK:
            COUNTS[path] = COUNTS.get(path, 0) + 1
        if path.startswith("/files/"):
            return self.serve_file(path[len("/files/"):], None)
        if path.startswith("/drop/"):
            return self.serve_file(path[len("/drop/"):], int(query.get("after", ["0"])[0]))
        if path.startswith("/status/"):
            code = int(path[len("/status/"):])
            page = b"<html><body><h1>%d</h1>error page</body></html>" % code
            return self.send_body(code, page, ctype="text/html")
        return self.send_body(404, b"<html>not found</html>", ctype="text/html")

    def serve_file(self, name, cut):
        full = os.path.join(ROOT, os.path.basename(urllib.parse.unquote(name)))
        try:
            with open(full, "rb") as f:
                data = f.read()
        except OSError:
            return self.send_body(404, b"<html>no such file</html>", ctype="text/html")
        if cut is None:
            return self.send_body(200, data)
        self.send_body(200, data[:cut], length=len(data))
        self.wfile.flush()
        self.connection.shutdown(2)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


if __name__ == "__main__":
    Server(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
