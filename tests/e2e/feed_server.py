"""A stand-in for the maker's update service on this computer, for the Wine and end-to-end tests.

/feed/VERSION (?critical=1, ?url=ADDRESS), /status/CODE, /malformed, /large (5 MB, announced),
/large-unannounced, /hang (never answers), /count/PREFIX (requests so far whose path began /PREFIX).
  python3 feed_server.py start|stop PORT_FILE   in the background, its port and process in PORT_FILE
"""

import http.server
import json
import os
import pathlib
import signal
import subprocess
import sys
import threading
import time
import urllib.parse


class FeedServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self):
        super().__init__(("127.0.0.1", 0), _Handler)
        self.paths = []
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def url(self, path):
        return f"http://127.0.0.1:{self.server_address[1]}{path}"

    def count(self, prefix):
        return sum(1 for path in list(self.paths) if path.startswith(prefix))

    def stop(self):
        self.shutdown()
        self.server_close()


class _Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def _send(self, code, body, length=True):
        self.send_response(code)
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        self.server.paths.append(self.path)
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        kind, _, rest = url.path[1:].partition("/")
        if kind == "feed":
            self._send(200, json.dumps({
                "version": rest, "url": query.get("url", "https://example.com/velmora/" + rest),
                "notes": {"en": "Faster starts.\nFixes.", "ar": "\u062a\u0634\u063a\u064a\u0644 \u0623\u0633\u0631\u0639."},
                "critical": query.get("critical") == "1"}).encode())
        elif kind in ("status", "malformed", "count"):
            body = {"status": b"{}", "malformed": b'{"version": "9.0", "url":'}.get(kind)
            self._send(int(rest) if kind == "status" else 200, body or str(self.server.count("/" + rest)).encode())
        elif kind.startswith("large"):
            self._send(200, b" " * (5 * 1024 * 1024), length=kind == "large")
        elif kind == "hang":
            time.sleep(120)  # in a thread of its own, which does not keep the process


def main(command, port_file):
    port_file = pathlib.Path(port_file)
    if command == "start":
        port_file.unlink(missing_ok=True)
        subprocess.Popen([sys.executable, __file__, "serve", str(port_file)], start_new_session=True,
                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if port_file.exists():
                return 0
            time.sleep(0.05)
        return 1
    if command == "stop":
        if port_file.exists():
            os.kill(int(port_file.read_text().split()[1]), signal.SIGTERM)
            port_file.unlink()
        return 0
    server = FeedServer()
    written = port_file.with_suffix(".new")
    written.write_text(f"{server.server_address[1]} {os.getpid()}\n")
    written.chmod(0o644)
    written.rename(port_file)  # whole, for the reader
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
