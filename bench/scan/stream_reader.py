#!/usr/bin/python3
"""The IMAP stream alone: LOGIN, SELECT INBOX, one FETCH 1:N (UID RFC822.HEADER)
whose bytes are read and dropped, LOGOUT. No client can take the headers off
this server faster, so its time is the floor under both clients of the bench.

    stream_reader.py --imap-port P --user U --password W

Prints messages=N (the mailbox's EXISTS) when the FETCH ended with OK.
"""
import argparse
import re
import socket
import sys

CHUNK = 1 << 20


class Connection:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port))
        self.pending = b""

    def read_until(self, tag, keep=False):
        """Reads up to the tagged line of tag: (that line, the text before it,
        kept only when asked for). Everything else is dropped as it comes."""
        marker = b"\r\n" + tag + b" "
        text = b"\r\n" + self.pending
        kept = []
        while True:
            at = text.find(marker)
            end = text.find(b"\r\n", at + 2) if at >= 0 else -1
            if end >= 0:
                self.pending = text[end + 2:]
                kept.append(text[:at])
                return text[at + 2:end], b"".join(kept) if keep else b""
            data = self.sock.recv(CHUNK)
            if not data:
                sys.exit("stream_reader: the server closed the connection")
            if at < 0:
                # Only a tagged line split between two reads needs the old bytes.
                if keep:
                    kept.append(text[:-200])
                text = text[-200:]
            text += data

    def command(self, tag, text):
        self.sock.sendall(tag + b" " + text + b"\r\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--imap-port", type=int, required=True)
    ap.add_argument("--user", required=True)
    ap.add_argument("--password", required=True)
    a = ap.parse_args()
    c = Connection(a.imap_port)
    c.command(b"a", b"LOGIN " + a.user.encode() + b" " + a.password.encode())
    if not c.read_until(b"a")[0].startswith(b"a OK"):
        sys.exit("stream_reader: LOGIN failed")
    c.command(b"b", b"SELECT INBOX")
    status, answer = c.read_until(b"b", keep=True)
    found = re.search(rb"\* (\d+) EXISTS", answer)
    if not status.startswith(b"b OK") or not found:
        sys.exit("stream_reader: SELECT failed")
    count = int(found.group(1))
    if count:
        c.command(b"c", b"FETCH 1:%d (UID RFC822.HEADER)" % count)
        if not c.read_until(b"c")[0].startswith(b"c OK"):
            sys.exit("stream_reader: FETCH failed")
    c.command(b"d", b"LOGOUT")
    c.read_until(b"d")
    print("messages=%d" % count)


if __name__ == "__main__":
    main()
