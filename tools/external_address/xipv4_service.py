#!/usr/bin/env python3
"""An external-address service: answers the control's ExternalAddress request.

The control sends "GET /cgi-bin/xipv4.cgi HTTP/1.0" (or the absolute form
"GET http://HOST:PORT/cgi-bin/xipv4.cgi HTTP/1.0" when it goes through a proxy) and reads the
answer until the connection closes. This service answers with a short text page holding
"External Address: " and the address: the one given with --address, else the address the
request came from, which is what a user who runs it on a machine outside the local network
wants to learn. Put its host (and port, when not 80) into the REG_SZ value
"ExternalAddressServices" under HKCU\\Software\\Oxbrook\\Kestrine\\CurrentVersion\\Settings.

For tests it also speaks the launch protocol of the project's other stand-ins: it prints
"READY http=PORT https=0" once it listens, exits when standard input closes (--exit-on-eof), and
answers these admin paths:
  /__admin/count?prefix=P   {"count": N}: the number of service requests whose path starts with P
  /__admin/last?prefix=P    the head of the last such request, as received
  /__admin/reset            forget the counts and the log
"""

import argparse
import json
import socket
import sys
import threading
import urllib.parse

SERVICE_PATH = "/cgi-bin/xipv4.cgi"
MAX_HEAD = 16384


class Service:
    def __init__(self, address):
        self.address = address
        self.lock = threading.Lock()
        self.log = []  # (path, head) of every service request

    def count(self, prefix):
        with self.lock:
            return sum(1 for path, _ in self.log if path.startswith(prefix))

    def last(self, prefix):
        with self.lock:
            for path, head in reversed(self.log):
                if path.startswith(prefix):
                    return head
        return ""

    def reset(self):
        with self.lock:
            self.log.clear()

    def serve(self, conn, peer):
        with conn:
            conn.settimeout(10)
            head = b""
            try:
                while b"\r\n\r\n" not in head and len(head) < MAX_HEAD:
                    piece = conn.recv(4096)
                    if not piece:
                        break
                    head += piece
            except OSError:
                return
            text = head.decode("latin-1")
            parts = text.split("\r\n", 1)[0].split(" ")
            if len(parts) != 3 or parts[0] != "GET":
                conn.sendall(reply(400, "Bad Request", "bad request\n"))
                return
            target = parts[1]
            # A request through a proxy may keep the absolute form; the path is what counts.
            parsed = urllib.parse.urlsplit(target)
            path = parsed.path or "/"
            query = urllib.parse.parse_qs(parsed.query)
            if path.startswith("/__admin/"):
                conn.sendall(self.admin(path, query))
                return
            if path != SERVICE_PATH:
                conn.sendall(reply(404, "Not Found", "not found\n"))
                return
            with self.lock:
                self.log.append((path, text))
            address = self.address or peer[0]
            body = ("<html><head><title>External Address</title></head><body>\r\n"
                    f"External Address: {address}\r\n</body></html>\r\n")
            conn.sendall(reply(200, "OK", body, "text/html"))

    def admin(self, path, query):
        prefix = query.get("prefix", [""])[0]
        if path == "/__admin/count":
            return reply(200, "OK", json.dumps({"count": self.count(prefix), "prefix": prefix}),
                         "application/json")
        if path == "/__admin/last":
            head = self.last(prefix)
            return reply(200, "OK", head) if head else reply(404, "Not Found", "")
        if path == "/__admin/reset":
            self.reset()
            return reply(200, "OK", "reset\n")
        return reply(404, "Not Found", "unknown admin path\n")


def reply(status, reason, body, content_type="text/plain"):
    data = body.encode("latin-1")
    return (f"HTTP/1.0 {status} {reason}\r\nContent-Type: {content_type}\r\n"
            f"Content-Length: {len(data)}\r\nConnection: close\r\n\r\n").encode() + data


def accept_forever(service, sock):
    while True:
        conn, peer = sock.accept()
        threading.Thread(target=service.serve, args=(conn, peer), daemon=True).start()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bind", default="127.0.0.1", help="address to listen on")
    parser.add_argument("--port", type=int, default=0, help="port (0: any free one)")
    parser.add_argument("--address", default="",
                        help="the address to report (default: the requester's own)")
    parser.add_argument("--exit-on-eof", action="store_true",
                        help="exit when standard input closes (so a crashed parent leaves none)")
    # Accepted for the stand-in launch protocol; this service has no data folder.
    parser.add_argument("--data", help=argparse.SUPPRESS)
    args = parser.parse_args()
    service = Service(args.address)
    try:
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind((args.bind, args.port))
        sock.listen(64)
    except OSError as error:
        print(f"xipv4-service: cannot listen: {error}", file=sys.stderr)
        return 2
    threading.Thread(target=accept_forever, args=(service, sock), daemon=True).start()
    print(f"READY http={sock.getsockname()[1]} https=0", flush=True)
    if args.exit_on_eof:
        while sys.stdin.buffer.read(4096):
            pass
        return 0
    threading.Event().wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
