"""Helpers for mailservers.sh.

ports.py free N          print N free loopback TCP ports
ports.py wait SECONDS PORT...   wait until each port greets ("+OK", "* OK", "220");
                                a PORT may be HOST:PORT, else it is on 127.0.0.1
"""
import socket
import sys
import time


def free(n):
    sockets = []
    for _ in range(n):
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        sockets.append(s)
    print(" ".join(str(s.getsockname()[1]) for s in sockets))
    for s in sockets:
        s.close()


def greets(port):
    host, _, number = port.rpartition(":")
    try:
        with socket.create_connection((host or "127.0.0.1", int(number)), timeout=1) as s:
            s.settimeout(1)
            data = s.recv(200)
            return data[:3] in (b"+OK", b"* O", b"220")
    except OSError:
        return False


def wait(seconds, ports):
    deadline = time.monotonic() + seconds
    pending = list(ports)
    while pending and time.monotonic() < deadline:
        pending = [p for p in pending if not greets(p)]
        if pending:
            time.sleep(0.05)
    if pending:
        print("no greeting on port(s) %s" % " ".join(map(str, pending)), file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    if sys.argv[1] == "free":
        free(int(sys.argv[2]))
    elif sys.argv[1] == "wait":
        wait(float(sys.argv[2]), sys.argv[3:])
