#!/usr/bin/env python3
"""Loopback HTTP server for the URL tests.

  /files/<name>            the file <root>/<name>
  /status/<code>           that status with a small HTML error page
  /drop/<name>?after=N     headers promising the whole file, N bytes, then the
                           connection is closed
  /silent?for=S            accepts the request and answers nothing for S seconds
  /stall/<name>?after=N&for=S  headers and N bytes of the file, then nothing
                           for S seconds
  /redirect/<n>/<name>     n relative redirects, then the file
  /loop                    redirects to itself, relatively, for ever
  /away?to=URL             redirects to URL, whatever its scheme
  /chunked/<name>?length=N the file in chunked coding beside a stale
                           Content-Length of N
  /gzip/<name>             the file in gzip content coding, Content-Length
                           counting the coded bytes
  /slow/<name>?chunk=N&delay=MS[&length=0]
                           the file in pieces of N bytes, MS milliseconds
                           apart; length=0 leaves out the Content-Length
  /stats/<path>            how many times <path> was requested
  /page/<name>             the file <root>/<name> as an HTML page that also sets
                           this run's session cookie (HttpOnly, SameSite=Strict)
  /spool/<name>?as=mime|attachment|html
                           the file, only to a request carrying that cookie (403
                           otherwise), typed application/x-corvala400-ep or sent
                           as an attachment; html: 200 with a login page instead
                           (an application whose session ended); also to a POST
  /once/<name>             the file as an attachment to the first request, then
                           410 Gone (a one-time download link)
  POST /report/<key>       keeps the body; GET /report/<key> answers it (404 until then)
Every answer forbids caching, so a test never sees another test's data.
"""
import gzip
import http.server
import os
import secrets
import socketserver
import sys
import threading
import time
import urllib.parse

ROOT = sys.argv[2] if len(sys.argv) > 2 else "."
COUNTS = {}
LOCK = threading.Lock()
SESSION = "corv_session=" + secrets.token_hex(16)
REPORTS = {}

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):
        sys.stderr.write("%s\n" % (fmt % args))

    def send_body(self, code, body, length=None, ctype="application/octet-stream", headers=()):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        for header in headers:
            self.send_header(*header)
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
        if path == "/silent":
            return time.sleep(float(query.get("for", ["30"])[0]))
        if path.startswith("/stall/"):
            self.serve_file(path[len("/stall/"):], int(query.get("after", ["0"])[0]), shut=False)
            return time.sleep(float(query.get("for", ["30"])[0]))
        if path.startswith("/redirect/"):
            left, name = path[len("/redirect/"):].split("/", 1)
            if int(left) == 0:
                return self.serve_file(name, None)
            return self.send_redirect("/redirect/%d/%s" % (int(left) - 1, name))
        if path == "/loop":
            return self.send_redirect("loop")
        if path == "/away":
            return self.send_redirect(query.get("to", [""])[0])
        if path.startswith("/chunked/"):
            return self.serve_chunked(path[len("/chunked/"):], query.get("length", ["1"])[0])
        if path.startswith("/gzip/"):
            return self.serve_gzip(path[len("/gzip/"):])
        if path.startswith("/slow/"):
            return self.serve_slowly(path[len("/slow/"):], query)
        if path.startswith("/page/"):
            page = self.read_file(path[len("/page/"):]) or b"no such page"
            cookie = ("Set-Cookie", SESSION + "; Path=/; HttpOnly; SameSite=Strict")
            return self.send_body(200, page, ctype="text/html", headers=[cookie])
        if path.startswith("/spool/"):
            return self.serve_spool(path[len("/spool/"):], query.get("as", [""])[0])
        if path.startswith("/once/"):
            if COUNTS[path] > 1:
                return self.send_body(410, b"<html>gone</html>", ctype="text/html")
            return self.serve_spool(path[len("/once/"):], "attachment")
        if path.startswith("/report/"):
            with LOCK:
                report = REPORTS.get(path)
            if report is None:
                return self.send_body(404, b"no report yet", ctype="text/plain")
            return self.send_body(200, report, ctype="application/json")
        if path.startswith("/status/"):
            code = int(path[len("/status/"):])
            page = b"<html><body><h1>%d</h1>error page</body></html>" % code
            return self.send_body(code, page, ctype="text/html")
        return self.send_body(404, b"<html>not found</html>", ctype="text/html")

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        url = urllib.parse.urlsplit(self.path)
        if url.path.startswith("/spool/"):
            with LOCK:
                COUNTS[url.path] = COUNTS.get(url.path, 0) + 1
            kind = urllib.parse.parse_qs(url.query).get("as", [""])[0]
            return self.serve_spool(url.path[len("/spool/"):], kind)
        with LOCK:
            REPORTS[url.path] = body
        self.send_body(204, b"")

    def serve_spool(self, name, kind):
        cookies = [c.strip() for c in self.headers.get("Cookie", "").split(";")]
        if SESSION not in cookies:
            return self.send_body(403, b"<html>no session</html>", ctype="text/html")
        data = self.read_file(name)
        if data is None:
            return self.send_body(404, b"<html>no such file</html>", ctype="text/html")
        if kind == "html":
            return self.send_body(200, b"<html><form>Sign in</form></html>", ctype="text/html")
        if kind == "attachment":
            disposition = ("Content-Disposition", "attachment; filename=%s" % os.path.basename(name))
            return self.send_body(200, data, headers=[disposition])
        return self.send_body(200, data, ctype="application/x-corvala400-ep" if kind == "mime" else "text/plain")

    def send_redirect(self, location):
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.send_header("Cache-Control", "no-store, no-cache")
        self.send_header("Connection", "close")
        self.end_headers()

    def read_file(self, name):
        full = os.path.join(ROOT, os.path.basename(urllib.parse.unquote(name)))
        try:
            with open(full, "rb") as f:
                return f.read()
        except OSError:
            return None

    def serve_file(self, name, cut, shut=True):
        data = self.read_file(name)
        if data is None:
            return self.send_body(404, b"<html>no such file</html>", ctype="text/html")
        if cut is None:
            return self.send_body(200, data)
        self.send_body(200, data[:cut], length=len(data))
        self.wfile.flush()
        if shut:
            self.connection.shutdown(2)

    def serve_chunked(self, name, stale_length):
        data = self.read_file(name)
        self.protocol_version = "HTTP/1.1"
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Transfer-Encoding", "chunked")
        self.send_header("Content-Length", stale_length)
        self.send_header("Cache-Control", "no-store, no-cache")
        self.send_header("Connection", "close")
        self.end_headers()
        for start in range(0, len(data), 7000):
            piece = data[start:start + 7000]
            self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
        self.wfile.write(b"0\r\n\r\n")

    def serve_gzip(self, name):
        body = gzip.compress(self.read_file(name))
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Encoding", "gzip")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store, no-cache")
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def serve_slowly(self, name, query):
        data = self.read_file(name)
        if data is None:
            return self.send_body(404, b"<html>no such file</html>", ctype="text/html")
        chunk = int(query.get("chunk", ["4096"])[0])
        delay = int(query.get("delay", ["50"])[0]) / 1000.0
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if query.get("length", ["1"])[0] != "0":
            self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store, no-cache")
        self.send_header("Connection", "close")
        self.end_headers()
        for start in range(0, len(data), chunk):
            self.wfile.write(data[start:start + chunk])
            self.wfile.flush()
            time.sleep(delay)

class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

if __name__ == "__main__":
    Server(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
