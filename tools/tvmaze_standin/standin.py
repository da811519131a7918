#!/usr/bin/env python3
"""tvmaze-standin: a local stand-in for the TVmaze API, for tests and benchmarks.

Serves GET /search/shows?q=NAME and GET /shows/ID/episodes from a data folder (recorded and
derived replies listed in its catalog.json) on 127.0.0.1, over plain HTTP and, given a
certificate, over TLS. Replies are compact JSON in the recorded member order, as the service
sends them, because the renamer scrapes them by plain text markers.

Faults are switched on through admin paths that the renamer never requests:
  /__admin/count[?prefix=P]  request counts (JSON); "count" sums the targets starting with P
  /__admin/last[?prefix=P]   the raw head of the last request whose target starts with P
  /__admin/reset             forget counts, the request log and every mode
  /__admin/mode?...          set a behaviour for targets starting with path=P (all when absent)
  /__admin/tls?cert=F&key=K  serve a different certificate on the TLS port from now on
Run with --help for the mode parameters.

When both listeners are up it prints one line "READY http=PORT https=PORT" (https=0 without
TLS) to standard output; nothing else is written there.
"""

import argparse
import collections
import datetime
import http
import json
import os
import re
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse

CONFIGURED_DATA_DIR = "@VANTEL_STANDIN_DATA_DIR@"
HEAD_LIMIT = 64 * 1024
IO_TIMEOUT = 30.0
JSON_TYPE = "application/json; charset=utf-8"
TODAY_TOKEN = re.compile(rb"@" + rb"TODAY(?:([+-])([0-9]{1,5}))?@")

TERMINAL_ACTIONS = ("stall", "close-early", "reset", "close-mid-header", "header-endless",
                    "body-endless", "malformed", "not-tls", "redirect", "to-https")
MODE_KEYS = set(TERMINAL_ACTIONS) | {
    "path", "times", "listener", "ok", "delay", "status", "retry_after", "file", "raw", "body",
    "keep_body", "content_length", "chunk", "interval", "limit", "seconds", "redirect_status",
    "location_header", "host", "line", "clear"}

MODE_HELP = """mode parameters (/__admin/mode?KEY=VALUE&...):
  path=PREFIX        apply to request targets starting with PREFIX (default: every request);
                     the longest matching prefix wins, a new mode replaces one with the same path
  times=K            apply to the next K matching requests only (default: until reset)
  listener=http|https  apply on one listener only
  clear              drop every mode (counts are kept)
  ok                 answer normally
  delay=SECONDS      wait before doing whatever else the mode says
  status=CODE        answer with this status and a small JSON body (keep_body=1: the normal
                     body); retry_after=N adds a Retry-After header
  file=NAME          serve this data file instead (compacted; raw=1: byte for byte)
  body=TEXT          serve this text instead
  content_length=N|none  announce this length, or none at all
  chunk=BYTES&interval=SECONDS  send the answer in pieces with pauses between them
  stall              read the request and never answer (holds up to seconds=S, default 300)
  close-early        close right after reading the request
  reset              reset the connection (RST) right after reading the request
  close-mid-header   send half a header line, then close
  header-endless     send header lines for ever (line=1: one line that never ends); the pace
                     is chunk/interval (default 512 bytes every 0.01 s); limit=BYTES caps it
  body-endless       a valid header, then an endless body at the same pace
  malformed          garbage instead of a status line, then close
  redirect=URL       302 (redirect_status=N) with Location (location_header=NAME) URL; {http},
                     {https} and {path} in URL become the ports and the request target
  to-https           redirect to the TLS listener, same target (host=NAME, default 127.0.0.1)
  not-tls            on the TLS port: answer plain HTTP where the TLS handshake should be
built-in redirect loop: /__loop/a answers 302 to /__loop/b, and /__loop/b to /__loop/a."""


def compact(raw):
    """Returns the reply body for a data file: compact JSON in the recorded member order.

    A one-line file is served byte for byte (a trailing line break, which the service never
    sends, is dropped); a pretty-printed one is re-serialised without white space, keeping raw
    UTF-8 instead of escapes.
    """
    text = raw.decode("utf-8")
    stripped = text.rstrip("\r\n")
    if "\n" not in stripped:
        return stripped.encode("utf-8")
    value = json.loads(text)
    return json.dumps(value, separators=(",", ":"), ensure_ascii=False).encode("utf-8")


def replace_date_tokens(body, today=None):
    """Replaces the date tokens by dates relative to today (YYYY-MM-DD).

    A token is TODAY, TODAY+N or TODAY-N (N days) between two at signs. (Spelled out here
    because the build copies this file with its at-sign placeholders filled in.)
    """
    today = today or datetime.date.today()

    def date_for(match):
        days = int(match.group(2) or 0) * (-1 if match.group(1) == b"-" else 1)
        return (today + datetime.timedelta(days=days)).isoformat().encode("ascii")

    return TODAY_TOKEN.sub(date_for, body)


def normalise_query(text):
    return " ".join(text.lower().split())


class Catalog:
    """The searches and episode lists a data folder offers, read from its catalog.json."""

    def __init__(self, data_dir):
        self.data_dir = os.path.abspath(data_dir)
        with open(os.path.join(self.data_dir, "catalog.json"), encoding="utf-8") as f:
            catalog = json.load(f)
        self.no_match = self.body(catalog.get("no_match", "search-empty.json"))
        self.searches = {}
        for entry in catalog["searches"]:
            body = self.body(entry["file"])
            for query in entry["queries"]:
                self.searches[normalise_query(query)] = (entry["file"], body)
        self.episodes = {int(e["id"]): (e["file"], self.body(e["file"]))
                         for e in catalog["episodes"]}

    def path_of(self, name):
        path = os.path.abspath(os.path.join(self.data_dir, name))
        if os.path.dirname(path) != self.data_dir:
            raise ValueError(f"{name}: not a file of the data folder")
        return path

    def body(self, name, raw=False):
        with open(self.path_of(name), "rb") as f:
            content = f.read()
        return content if raw else compact(content)

    def search(self, query):
        found = self.searches.get(normalise_query(query))
        return found[1] if found else self.no_match


def reason_of(status):
    try:
        return http.HTTPStatus(status).phrase
    except ValueError:
        return "Status"


def response_head(status, headers):
    lines = [f"HTTP/1.1 {status} {reason_of(status)}"]
    lines += [f"{name}: {value}" for name, value in headers]
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def error_body(status, message):
    return json.dumps({"name": reason_of(status), "message": message, "code": 0,
                       "status": status}, separators=(",", ":")).encode("utf-8")


def read_head(conn):
    """Reads up to and including the blank line that ends a request head; None on failure."""
    data = b""
    while b"\r\n\r\n" not in data:
        if len(data) > HEAD_LIMIT:
            return None
        chunk = conn.recv(4096)
        if not chunk:
            return None
        data += chunk
    return data[:data.index(b"\r\n\r\n") + 4]


class Rule:
    def __init__(self, params):
        self.params = params
        self.path = params.get("path", "")
        self.listener = params.get("listener")
        self.times = int(params["times"]) if "times" in params else None

    def to_json(self):
        return dict(self.params, times=self.times)


class Standin:
    """The shared state of both listeners: catalog, counts, request log and modes."""

    def __init__(self, catalog, tls_context, verbose):
        self.catalog = catalog
        self.tls_context = tls_context
        self.verbose = verbose
        self.lock = threading.Lock()
        self.ports = {"http": 0, "https": 0}
        self.reset()

    def reset(self):
        with self.lock:
            self.counts = collections.Counter()
            self.listener_counts = collections.Counter()
            self.tls_failures = 0
            self.log = collections.deque(maxlen=200)
            self.rules = {}

    # --- modes -------------------------------------------------------------------------------

    def set_mode(self, params):
        unknown = sorted(set(params) - MODE_KEYS)
        if unknown:
            raise ValueError("unknown mode parameter(s): " + ", ".join(unknown))
        if len([a for a in TERMINAL_ACTIONS if a in params]) > 1:
            raise ValueError("at most one of " + ", ".join(TERMINAL_ACTIONS))
        for key in ("times", "status", "retry_after", "chunk", "limit", "redirect_status"):
            if key in params and not params[key].isdigit():
                raise ValueError(f"{key} needs a whole number")
        for key in ("delay", "interval", "seconds"):
            if key in params:
                float(params[key])
        if params.get("listener") not in (None, "http", "https"):
            raise ValueError("listener is http or https")
        if "file" in params and not os.path.isfile(self.catalog.path_of(params["file"])):
            raise ValueError(f"{params['file']}: no such file in the data folder")
        with self.lock:
            if "clear" in params:
                self.rules = {}
            else:
                rule = Rule(params)
                self.rules[(rule.path, rule.listener)] = rule
            return [r.to_json() for r in self.rules.values()]

    def take_rule(self, target, listener, not_tls=False):
        """Picks the mode for a request (the longest matching path) and uses up one of its times."""
        with self.lock:
            best = None
            for rule in self.rules.values():
                if ("not-tls" in rule.params) != not_tls:
                    continue
                if rule.listener not in (None, listener):
                    continue
                # Before the handshake there is no request, so not-tls ignores the path.
                if not not_tls and not target.startswith(rule.path):
                    continue
                rank = (len(rule.path), rule.listener is not None)
                if best is None or rank > best[0]:
                    best = (rank, rule)
            if best is None:
                return {}
            rule = best[1]
            if rule.times is not None:
                rule.times -= 1
                if rule.times <= 0:
                    del self.rules[(rule.path, rule.listener)]
            return rule.params

    # --- connections -------------------------------------------------------------------------

    def serve_connection(self, conn, listener):
        try:
            conn.settimeout(IO_TIMEOUT)
            if listener == "https":
                if self.take_rule("", listener, not_tls=True):
                    with self.lock:
                        self.counts["!not-tls"] += 1
                        self.listener_counts[listener] += 1
                    self.answer_not_tls(conn)
                    return
                try:
                    conn = self.tls_context.wrap_socket(conn, server_side=True)
                except (ssl.SSLError, OSError):
                    with self.lock:
                        self.tls_failures += 1
                    return
            conn.settimeout(10.0)
            head = read_head(conn)
            if head is None:
                return
            conn.settimeout(IO_TIMEOUT)
            self.answer(conn, head, listener)
        except OSError:
            pass
        finally:
            try:
                conn.close()
            except OSError:
                pass

    def answer_not_tls(self, conn):
        conn.settimeout(1.0)
        try:
            conn.recv(4096)
        except OSError:
            pass
        body = b"this is plain HTTP on the TLS port\n"
        conn.sendall(response_head(200, [("Connection", "close"), ("Content-Type", "text/plain"),
                                         ("Content-Length", len(body))]) + body)
        finish(conn)

    def answer(self, conn, head, listener):
        request_line = head.split(b"\r\n", 1)[0].decode("latin-1")
        parts = request_line.split(" ")
        method, target = (parts[0], parts[1]) if len(parts) >= 2 else ("", "/")
        if self.verbose:
            print(f"standin: {listener} {request_line}", file=sys.stderr, flush=True)
        if target.startswith("/__admin/"):
            status, ctype, body = self.admin(target)
            send_reply(conn, status, body, ctype)
            return
        with self.lock:
            self.counts[target] += 1
            self.listener_counts[listener] += 1
            self.log.append((target, head))
        mode = self.take_rule(target, listener)
        if method != "GET":
            send_reply(conn, 405, error_body(405, "Only GET is served."))
            return
        self.answer_with_mode(conn, target, mode)

    def answer_with_mode(self, conn, target, mode):
        if "delay" in mode:
            time.sleep(float(mode["delay"]))
        chunk = int(mode.get("chunk", 512))
        interval = float(mode.get("interval", 0.01))
        limit = int(mode.get("limit", 1 << 30))
        if "stall" in mode:
            stall(conn, float(mode.get("seconds", 300)))
        elif "close-early" in mode:
            return
        elif "reset" in mode:
            # A zero linger time makes the close below send a reset instead of a FIN.
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        elif "close-mid-header" in mode:
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Ty")
            finish(conn)
        elif "malformed" in mode:
            conn.sendall(b"\x16\x03\x01garbage-without-a-status-line\r\n\r\n\x00\xff[]")
            finish(conn)
        elif "header-endless" in mode:
            endless_header(conn, mode.get("line") == "1", chunk, interval, limit)
        elif "redirect" in mode or "to-https" in mode or target.startswith("/__loop/"):
            self.redirect(conn, target, mode)
        else:
            self.reply(conn, target, mode, chunk, interval, limit)

    def redirect(self, conn, target, mode):
        if "redirect" in mode:
            location = (mode["redirect"].replace("{http}", str(self.ports["http"]))
                        .replace("{https}", str(self.ports["https"])).replace("{path}", target))
        elif "to-https" in mode:
            location = f"https://{mode.get('host', '127.0.0.1')}:{self.ports['https']}{target}"
        else:
            location = "/__loop/b" if target.startswith("/__loop/a") else "/__loop/a"
        status = int(mode.get("redirect_status", 302))
        body = error_body(status, "Moved.")
        send_reply(conn, status, body, extra=[(mode.get("location_header", "Location"), location)])

    def route(self, target):
        """The service's own answer for a target: (status, body)."""
        path, _, query = target.partition("?")
        if path == "/search/shows":
            values = urllib.parse.parse_qs(query, keep_blank_values=True).get("q")
            if values is None:
                return 400, error_body(400, "Missing required parameters: q")
            return 200, self.catalog.search(values[0])
        match = re.fullmatch(r"/shows/([0-9]+)/episodes", path)
        if match and int(match.group(1)) in self.catalog.episodes:
            return 200, self.catalog.episodes[int(match.group(1))][1]
        return 404, error_body(404, "Page not found.")

    def reply(self, conn, target, mode, chunk, interval, limit):
        status, body = self.route(target)
        if "status" in mode:
            status = int(mode["status"])
            if mode.get("keep_body") != "1":
                body = error_body(status, "Set by the stand-in's mode.")
        if "file" in mode:
            body = self.catalog.body(mode["file"], raw=mode.get("raw") == "1")
        if "body" in mode:
            body = mode["body"].encode("utf-8")
        body = replace_date_tokens(body)
        extra = [("Retry-After", mode["retry_after"])] if "retry_after" in mode else []
        if "body-endless" in mode:
            head = response_head(status, [("Connection", "close"), ("Content-Type", JSON_TYPE)])
            conn.sendall(head)
            conn.sendall(b"[")
            trickle_forever(conn, b'{"id":1,"name":"x"},', chunk, interval, limit)
            return
        length = mode.get("content_length", str(len(body)))
        pieces = "chunk" in mode or "interval" in mode
        send_reply(conn, status, body, extra=extra, length=length,
                   chunk=chunk if pieces else 0, interval=interval)

    # --- admin -------------------------------------------------------------------------------

    def admin(self, target):
        path, _, query = target.partition("?")
        params = dict(urllib.parse.parse_qsl(query, keep_blank_values=True))
        if path == "/__admin/count":
            prefix = params.get("prefix", "")
            with self.lock:
                paths = dict(self.counts)
                result = {"count": sum(n for t, n in paths.items() if t.startswith(prefix)),
                          "prefix": prefix, "total": sum(paths.values()),
                          "http": self.listener_counts["http"],
                          "https": self.listener_counts["https"],
                          "tls_failures": self.tls_failures, "paths": paths}
            return 200, JSON_TYPE, json.dumps(result).encode("utf-8")
        if path == "/__admin/last":
            prefix = params.get("prefix", "")
            with self.lock:
                heads = [h for t, h in self.log if t.startswith(prefix)]
            if not heads:
                return 404, "text/plain", b""
            return 200, "text/plain", heads[-1]
        if path == "/__admin/reset":
            self.reset()
            return 200, JSON_TYPE, b'{"reset":true}'
        if path == "/__admin/mode":
            try:
                rules = self.set_mode(params)
            except (ValueError, OSError) as error:
                return 400, JSON_TYPE, error_body(400, str(error))
            return 200, JSON_TYPE, json.dumps({"modes": rules}).encode("utf-8")
        if path == "/__admin/tls":
            try:
                self.tls_context = make_tls_context(params["cert"], params["key"])
            except (KeyError, ssl.SSLError, OSError) as error:
                return 400, JSON_TYPE, error_body(400, f"cannot load the certificate: {error}")
            return 200, JSON_TYPE, b'{"tls":true}'
        return 404, JSON_TYPE, error_body(404, "Unknown admin path.")


def send_reply(conn, status, body, ctype=JSON_TYPE, extra=(), length=None, chunk=0,
               interval=0.0):
    headers = [("Connection", "close"), ("Content-Type", ctype)]
    length = str(len(body)) if length is None else length
    if length != "none":
        headers.append(("Content-Length", length))
    data = response_head(status, headers + list(extra)) + body
    if chunk <= 0:
        conn.sendall(data)
    else:
        for offset in range(0, len(data), chunk):
            conn.sendall(data[offset:offset + chunk])
            time.sleep(interval)
    finish(conn)


def finish(conn):
    """Ends a reply the way a server closing an HTTP/1.0 connection does: close_notify on TLS,
    then our half of the connection, then wait briefly for the client's close so that unread
    request bytes cannot turn the close into a reset that would discard the reply."""
    try:
        if isinstance(conn, ssl.SSLSocket):
            conn.settimeout(2.0)
            conn = conn.unwrap()
        conn.shutdown(socket.SHUT_WR)
        conn.settimeout(2.0)
        deadline = time.monotonic() + 2.0
        while time.monotonic() < deadline and conn.recv(4096):
            pass
    except (OSError, ValueError):
        pass


def stall(conn, seconds):
    """Holds the connection without answering until the client gives up (or seconds pass)."""
    conn.settimeout(0.5)
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            if not conn.recv(4096):
                return
        except socket.timeout:
            continue
        except (OSError, ValueError):
            return


def trickle_forever(conn, pattern, chunk, interval, limit):
    data = (pattern * (chunk // len(pattern) + 1))[:max(chunk, 1)]
    sent = 0
    while sent < limit:
        conn.sendall(data)
        sent += len(data)
        if interval > 0:
            time.sleep(interval)


def endless_header(conn, one_line, chunk, interval, limit):
    conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: " + JSON_TYPE.encode() + b"\r\n")
    if one_line:
        conn.sendall(b"X-Endless: ")
        trickle_forever(conn, b"x", chunk, interval, limit)
    else:
        trickle_forever(conn, b"X-Filler: 0123456789abcdef0123456789abcdef\r\n", chunk, interval,
                        limit)


def make_tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def listen(port):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("127.0.0.1", port))
    sock.listen(128)
    return sock


def accept_forever(standin, sock, listener):
    while True:
        conn, _ = sock.accept()
        threading.Thread(target=standin.serve_connection, args=(conn, listener),
                         daemon=True).start()


def default_data_dir():
    if not CONFIGURED_DATA_DIR.startswith("@"):
        return CONFIGURED_DATA_DIR
    here = os.path.dirname(os.path.abspath(__file__))
    return os.path.join(here, "..", "..", "tests", "data", "tvmaze")


def check(catalog):
    """Checks that every reply parses and carries the markers the renamer scrapes for."""
    problems = []
    replies = [(f, b) for f, b in catalog.searches.values()]
    replies += [(f, b) for f, b in catalog.episodes.values()]
    for name, body in replies:
        value = json.loads(body)
        if json.dumps(value, separators=(",", ":"), ensure_ascii=False).encode() != body:
            problems.append(f"{name}: served form is not the compact form of its content")
        for item in value:
            obj = item["show"] if "show" in item else item
            if list(obj)[:3] != ["id", "url", "name"]:
                problems.append(f"{name}: an object does not start with id, url, name")
    for problem in problems:
        print("standin check:", problem, file=sys.stderr)
    print(f"standin check: {len(catalog.searches)} queries, {len(catalog.episodes)} shows, "
          f"{len(problems)} problem(s)")
    return 1 if problems else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0], epilog=MODE_HELP,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", default=default_data_dir(), help="data folder (catalog.json)")
    parser.add_argument("--port", type=int, default=0, help="HTTP port (0: any free one)")
    parser.add_argument("--tls-port", type=int, default=0, help="TLS port (0: any free one)")
    parser.add_argument("--tls-cert", help="PEM certificate (chain) for the TLS listener")
    parser.add_argument("--tls-key", help="PEM private key for the TLS listener")
    parser.add_argument("--exit-on-eof", action="store_true",
                        help="exit when standard input closes (so a crashed parent leaves none)")
    parser.add_argument("--check", action="store_true", help="check the data folder and exit")
    parser.add_argument("--verbose", action="store_true", help="log each request to stderr")
    args = parser.parse_args()
    if bool(args.tls_cert) != bool(args.tls_key):
        parser.error("--tls-cert and --tls-key go together")
    try:
        catalog = Catalog(args.data)
        tls_context = make_tls_context(args.tls_cert, args.tls_key) if args.tls_cert else None
    except (OSError, ValueError, KeyError, ssl.SSLError) as error:
        print(f"tvmaze-standin: {error}", file=sys.stderr)
        return 2
    if args.check:
        return check(catalog)
    standin = Standin(catalog, tls_context, args.verbose)
    try:
        listeners = [("http", listen(args.port))]
        if tls_context:
            listeners.append(("https", listen(args.tls_port)))
    except OSError as error:
        print(f"tvmaze-standin: cannot listen: {error}", file=sys.stderr)
        return 2
    for name, sock in listeners:
        standin.ports[name] = sock.getsockname()[1]
        threading.Thread(target=accept_forever, args=(standin, sock, name), daemon=True).start()
    print(f"READY http={standin.ports['http']} https={standin.ports['https']}", flush=True)
    if args.exit_on_eof:
        while sys.stdin.buffer.read(4096):
            pass
        return 0
    threading.Event().wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
