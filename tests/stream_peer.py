#!/usr/bin/env python3
"""A peer on 127.0.0.1 for the control's stream transfer tests.

Listens on a free port, prints "PORT <n>" and serves one connection with one job:

  send SIZE SEED [PACE_MS]  sends SIZE bytes of a stream generated from SEED (the same SIZE and
                            SEED give the same bytes), in 1 MiB pieces with PACE_MS between them
  receive                   reads until the client closes
  script STEP...            runs steps in order: "s:TEXT" sends TEXT (\\r \\n \\xHH escapes),
                            "w:MS" waits, "r:N" reads N bytes

then prints "<sha256 hex> <byte count>" of what it sent or received (a script prints what it
read) and closes the connection.
"""

import hashlib
import random
import socket
import sys
import time

PIECE = 1 << 20


def generated(size, seed):
    """The stream of size bytes for seed, in pieces."""
    rng = random.Random(seed)
    left = size
    while left > 0:
        n = min(PIECE, left)
        yield rng.randbytes(n)
        left -= n


def send(conn, size, seed, pace_ms):
    digest = hashlib.sha256()
    count = 0
    for piece in generated(size, seed):
        conn.sendall(piece)
        digest.update(piece)
        count += len(piece)
        if pace_ms:
            time.sleep(pace_ms / 1000.0)
    return digest.hexdigest(), count


def receive(conn):
    digest = hashlib.sha256()
    count = 0
    while True:
        data = conn.recv(1 << 16)
        if not data:
            break
        digest.update(data)
        count += len(data)
    return digest.hexdigest(), count


def script(conn, steps):
    heard = b""
    for step in steps:
        kind, _, arg = step.partition(":")
        if kind == "s":
            conn.sendall(arg.encode("latin-1").decode("unicode_escape").encode("latin-1"))
        elif kind == "w":
            time.sleep(int(arg) / 1000.0)
        elif kind == "r":
            want = int(arg)
            while len(heard) < want:
                data = conn.recv(want - len(heard))
                if not data:
                    break
                heard += data
    return heard.decode("latin-1").encode("unicode_escape").decode("ascii"), len(heard)


def main(argv):
    if len(argv) < 2 or argv[1] not in ("send", "receive", "script"):
        print(__doc__, file=sys.stderr)
        return 2
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    listener.settimeout(60)
    print("PORT", listener.getsockname()[1], flush=True)
    conn, _ = listener.accept()
    conn.settimeout(120)
    with conn:
        if argv[1] == "send":
            pace = int(argv[4]) if len(argv) > 4 else 0
            result = send(conn, int(argv[2]), int(argv[3]), pace)
        elif argv[1] == "receive":
            result = receive(conn)
        else:
            result = script(conn, argv[2:])
    print(result[0], result[1], flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
