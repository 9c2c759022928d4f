"""A stand-in for the maker's update service on this computer, for the Wine and end-to-end tests.

Paths: /feed/VERSION (a valid feed; ?critical=1, ?url=ADDRESS), /status/CODE, /malformed, /large (5 MB
announced), /large-unannounced (5 MB without a length), /hang (never answers), /count/PREFIX (how many
requests began with /PREFIX). Every request is counted.

  python3 feed_server.py start PORT_FILE   serve in the background; the port goes to PORT_FILE
  python3 feed_server.py stop PORT_FILE
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

FIVE_MB = 5 * 1024 * 1024


class FeedServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self):
        super().__init__(("127.0.0.1", 0), _Handler)
        self.paths = []
        self.released = threading.Event()
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def url(self, path):
        return f"http://127.0.0.1:{self.server_address[1]}{path}"

    def count(self, prefix):
        return sum(1 for path in list(self.paths) if path.startswith(prefix))

    def stop(self):
        self.released.set()
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
        parts = url.path.split("/", 2)[1:] + [""]
        if parts[0] == "feed":
            feed = {"version": parts[1], "url": query.get("url", "https://example.com/velmora/" + parts[1]),
                    "notes": {"en": "Faster starts.\nFixes.", "ar": "\u062a\u0634\u063a\u064a\u0644 \u0623\u0633\u0631\u0639."},
                    "critical": query.get("critical") == "1"}
            self._send(200, json.dumps(feed).encode())
        elif parts[0] == "status":
            self._send(int(parts[1]), b"{}")
        elif parts[0] == "malformed":
            self._send(200, b'{"version": "9.0", "url":')
        elif parts[0] in ("large", "large-unannounced"):
            self._send(200, b" " * FIVE_MB, length=parts[0] == "large")
        elif parts[0] == "hang":
            self.server.released.wait(120)
        elif parts[0] == "count":
            self._send(200, str(self.server.count("/" + parts[1])).encode())
        else:
            self._send(404, b"")


def main(command, port_file):
    port_file = pathlib.Path(port_file)
    if command == "start":
        port_file.unlink(missing_ok=True)
        process = subprocess.Popen([sys.executable, __file__, "serve", str(port_file)], start_new_session=True,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if port_file.exists():
                return 0
            time.sleep(0.05)
        process.kill()
        return 1
    if command == "stop":
        if port_file.exists():
            os.kill(int(port_file.read_text().split()[1]), signal.SIGTERM)
            port_file.unlink()
        return 0
    server = FeedServer()
    signal.signal(signal.SIGTERM, lambda *_: server.released.set() or sys.exit(0))
    port_file.with_suffix(".tmp").write_text(f"{server.server_address[1]} {os.getpid()}\n")
    port_file.with_suffix(".tmp").chmod(0o644)
    port_file.with_suffix(".tmp").rename(port_file)
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
