#!/usr/bin/python3
"""Receive Mail by tarnwick-cli beside the Python peers, on a generated mailbox.

    scan_bench.py BUILD [N ...] [--pairs P] [--kit DIR] [--keep]

For each N (default 200 2000 20000) the peer kit's make_mailbox.py fills a
private Dovecot (the kit's mailserver.sh, POP3 and IMAP on free loopback
ports). Two Tarnwick home folders, made with tarnwick-cli itself, hold the
same identity, blacklist and 50 filter expressions, one with a POP3 account,
one with an IMAP account. Each timed run is one whole process; runs go in
turn: tarnwick-cli check (POP3), poplib, tarnwick-cli check (POP3), poplib
... then the same for IMAP against imaplib with one bulk FETCH, with a third
process in the turn that reads the same FETCH and drops it (stream_reader.py):
the server's own pace plus a Python start, which the peer cannot beat. Every
run's output is checked (message counts), so a run that failed cannot look
fast.
"""
import argparse
import json
import os
import re
import shutil
import signal
import socket
import sqlite3
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
USER, PASSWORD = "alice", "secret"   # mailserver.sh's mailbox
SEPARATOR = "\x07"                   # between the fields of a filter file line

# Kill (action 1) for every category; the check lists and never deletes.
# (category, field ids, rule id, case-insensitive, content). Field ids: 1 From,
# 2 To, 3 Subject, 4 Received, 5 Cc, 7 Errors-To, 8 Message-Id, 9 Reply-To,
# 10 Return-Path, 11 Sender. Rules: 1 contains, 2 contains word, 3 does not
# contain, 4 equals, 5 starts with, 6 does not start with, 7 ends with, 8 does
# not end with, 9 is blank, 10 is missing, 11 is uppercase. Like a real user's
# set, several rules never catch anything here; a message that passes is
# tried against all fifty.
EVERY_FIELD = "1,2,3,4,5,8,9,10,11"
FILTERS = [
    ("Pharmacy", "3", 1, True, "viagra"),
    ("Pharmacy", "3", 1, True, "cialis"),
    ("Pharmacy", "3", 2, False, "V1agra"),
    ("Pharmacy", "3", 1, False, "V-i-a-g-r-a"),
    ("Pharmacy", "3", 1, True, "prescription"),
    ("Pharmacy", "3", 1, True, "G\xfcnstige"),
    ("Pharmacy", "1,10", 1, True, "pharma-discount"),
    ("Pharmacy", "1", 7, True, "cheap-meds.example.net"),
    ("Pharmacy", "3", 1, True, "herbal"),
    ("Money", "3", 1, True, "lottery"),
    ("Money", "3", 2, False, "WON"),
    ("Money", "3", 1, True, "$5000/week"),
    ("Money", "3", 1, True, "mortgage"),
    ("Money", "3", 5, True, "Business proposal"),
    ("Money", "3", 1, True, "Crypto profits"),
    ("Money", "3", 1, True, "casino"),
    ("Money", "3", 2, True, "bitcoin"),
    ("Money", "3", 7, True, "limited offer"),
    ("Phishing", "3", 5, False, "URGENT"),
    ("Phishing", "3", 1, True, "confirm your account"),
    ("Phishing", "1,9,10", 1, True, "secure-bank-login"),
    ("Phishing", "3", 2, True, "invoice"),
    ("Phishing", "3", 1, True, "password expires"),
    ("Phishing", "1", 1, True, "paypal-security"),
    ("Replicas", "3", 2, True, "Rolex"),
    ("Replicas", "3", 2, True, "replica"),
    ("Replicas", "3", 1, True, "watches from"),
    ("Dating", "3", 1, True, "singles in your area"),
    ("Dating", "3", 1, True, "lonely"),
    ("Bulk senders", "2", 4, True, "undisclosed-recipients:;"),
    ("Bulk senders", "4", 1, True, "mail-promo.example.com"),
    ("Bulk senders", "4", 1, True, "mail.best-offers.test"),
    ("Bulk senders", "10", 5, True, "<bounce-"),
    ("Bulk senders", "1", 1, True, "noreply@"),
    ("Bulk senders", "8", 7, True, "@mail-promo.example.com>"),
    ("Broken headers", "1", 10, False, ""),
    ("Broken headers", "10", 9, False, ""),
    ("Broken headers", "3", 11, False, ""),
    ("Broken headers", "1", 3, False, "@"),
    ("Broken headers", "7", 1, True, "@"),
    ("Broken headers", "10", 8, True, ">"),
    ("Broken headers", "10", 6, True, "<"),
    ("Anywhere", EVERY_FIELD, 1, True, "free money"),
    ("Anywhere", EVERY_FIELD, 2, True, "unsubscribe"),
    ("Anywhere", EVERY_FIELD, 1, True, "skidki.test"),
    ("Anywhere", EVERY_FIELD, 1, True, "kursy-buh.example"),
    ("Anywhere", EVERY_FIELD, 1, False, "$$$"),
    ("Anywhere", EVERY_FIELD, 1, True, "click here"),
    ("Anywhere", EVERY_FIELD, 1, True, "best-offers.test"),
    ("Anywhere", EVERY_FIELD, 1, True, "100% free"),
]
BLACKLIST = ["lotto-win.invalid", "replica-shop.test", "spam-king.example", "hot-deals.invalid"]


def fail(text):
    sys.exit("scan_bench: " + text)


def free_ports(count):
    sockets = [socket.socket() for _ in range(count)]
    for s in sockets:
        s.bind(("127.0.0.1", 0))
    ports = [s.getsockname()[1] for s in sockets]
    for s in sockets:
        s.close()
    return ports


def run_quiet(cmd, **kw):
    r = subprocess.run(cmd, capture_output=True, text=True, **kw)
    if r.returncode != 0:
        fail("%s failed (%d): %s" % (" ".join(cmd[:3]), r.returncode, (r.stderr or r.stdout).strip()[-800:]))
    return r.stdout


def mail_server(kit, verb, work, ports=()):
    """The kit's mailserver.sh; its output goes to a file, as the daemon keeps what it inherits open."""
    with open(os.path.join(work, "mailserver.out"), "a") as log:
        r = subprocess.run([os.path.join(kit, "mailserver.sh"), verb, work] + [str(p) for p in ports],
                           stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
    if r.returncode != 0:
        with open(os.path.join(work, "mailserver.out")) as log:
            fail("mailserver.sh %s failed: %s" % (verb, log.read()[-800:]))


class TRun:
    """One whole process: wall and CPU seconds, exit status, max RSS (KiB)."""

    def __init__(self, wall, cpu, status, rss):
        self.wall, self.cpu, self.status, self.rss = wall, cpu, status, rss


def timed(cmd, env, out_path):
    actions = [(os.POSIX_SPAWN_OPEN, 0, "/dev/null", os.O_RDONLY, 0),
               (os.POSIX_SPAWN_OPEN, 1, out_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600),
               (os.POSIX_SPAWN_OPEN, 2, out_path + ".err", os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)]
    start = time.perf_counter()
    pid = os.posix_spawn(cmd[0], cmd, env, file_actions=actions)
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    return TRun(wall, usage.ru_utime + usage.ru_stime, os.waitstatus_to_exitcode(status), usage.ru_maxrss)


class Tarnwick:
    """tarnwick-cli on a home folder of its own, with one account."""

    def __init__(self, cli, home, proto, port):
        self.cli, self.home, self.proto = cli, home, proto
        self.env = dict(os.environ, TARNWICK_HOME=home,
                        # no mail client of this machine may hold the scan
                        XDG_DATA_HOME=os.path.join(home, "xdg"), XDG_DATA_DIRS=os.path.join(home, "xdg"))
        shutil.rmtree(home, ignore_errors=True)
        os.makedirs(home)
        self.run(["identity", "add", "bench"])
        self.run(["account", "add", "--description", proto, "--proto", proto, "--host", "127.0.0.1",
                  "--port", str(port), "--login", USER, "--email", USER + "@example.org",
                  "--account-password-fd", "0"], PASSWORD + "\n")
        self.run(["blacklist", "add"] + BLACKLIST)
        filters = os.path.join(home, "bench-filters.txt")
        with open(filters, "wb") as fh:
            fh.write(b"Tarnwick filters\r\n")
            for category, fields, rule, nocase, content in FILTERS:
                line = SEPARATOR.join([category, fields, str(rule), "-1" if nocase else "0", content])
                fh.write(line.encode("cp1252") + b"\r\n")
        self.run(["filters", "import", filters])

    def run(self, args, stdin=""):
        return run_quiet([self.cli] + args, input=stdin, env=self.env)

    def command(self):
        return [self.cli, "check"]

    @staticmethod
    def counts(out_path):
        with open(out_path, "rb") as fh:
            text = fh.read().decode("utf-8", "replace")
        inbox = re.search(r"^InBox \((\d+)\)$", text, re.M)
        delbox = re.search(r"^DelBox \((\d+)\)$", text, re.M)
        if not inbox or not delbox:
            return None
        return int(inbox.group(1)), int(delbox.group(1))

    def hits(self):
        """(hits, category, rule, fields, content) of every expression, as the scans so far counted them."""
        categories = sqlite3.connect(os.path.join(self.home, "filters.dat"))
        expressions = sqlite3.connect(os.path.join(self.home, "expr.dat"))
        try:
            names = dict(categories.execute('SELECT "id", "NameCategory" FROM rows'))
            return [(hits, names.get(category), rule, fields, content) for category, rule, fields, content, hits in
                    expressions.execute('SELECT "idFilter", "idRule", "Fields", "Content", "Hits" FROM rows')]
        finally:
            categories.close()
            expressions.close()


class Peer:
    def __init__(self, kit, mode, ports):
        self.mode = mode
        self.cmd = [sys.executable, os.path.join(kit, "peers.py"), mode, "--pop3-port", str(ports[0]),
                    "--imap-port", str(ports[1]), "--user", USER, "--password", PASSWORD]
        self.env = dict(os.environ)

    def command(self):
        return self.cmd

    @staticmethod
    def messages(out_path):
        with open(out_path) as fh:
            found = re.search(r"messages=(\d+)", fh.read())
        return int(found.group(1)) if found else None


class StreamAlone(Peer):
    """A Python reader that drops the bulk FETCH's bytes as they come: the
    server's own pace, plus the start of a Python process as the peer has."""

    def __init__(self, ports):
        self.mode = "stream alone"
        self.cmd = [sys.executable, os.path.join(HERE, "stream_reader.py"), "--imap-port", str(ports[1]),
                    "--user", USER, "--password", PASSWORD]
        self.env = dict(os.environ)


def checked_run(side, out_path, expect):
    run = timed(side.command(), side.env, out_path)
    if run.status != 0:
        with open(out_path + ".err") as fh:
            fail("%s exited with %d: %s" % (" ".join(side.command()[:3]), run.status, fh.read()[-800:]))
    got = Tarnwick.counts(out_path) if isinstance(side, Tarnwick) else Peer.messages(out_path)
    if got != expect:
        fail("%s: expected %s, got %s (see %s)" % (" ".join(side.command()[:2]), expect, got, out_path))
    return run


def us_per_message(seconds, n):
    return seconds / n * 1e6 if n else float("nan")


def compare(tarnwick, peer, n, expect_boxes, pairs, work, floor=None):
    """Medians of paired whole-process runs, A and B (and the floor, if any) in
    turn: (tarnwick-cli, peer) wall seconds."""
    a_runs, b_runs, f_runs = [], [], []
    for _ in range(pairs):
        a_runs.append(checked_run(tarnwick, os.path.join(work, "a.out"), expect_boxes))
        b_runs.append(checked_run(peer, os.path.join(work, "b.out"), n))
        if floor:
            f_runs.append(checked_run(floor, os.path.join(work, "f.out"), n))
    ratios = [a.wall / b.wall for a, b in zip(a_runs, b_runs)]
    a_med = statistics.median(r.wall for r in a_runs)
    b_med = statistics.median(r.wall for r in b_runs)
    print("  %-4s tarnwick-cli check %8.3f s %8.1f us/msg (cpu %6.3f s) | %-12s %8.3f s %8.1f us/msg (cpu %6.3f s)"
          " | ratio %6.2f (pairs from %.2f to %.2f) | tarnwick-cli max RSS %5.1f MiB"
          % (tarnwick.proto, a_med, us_per_message(a_med, n), statistics.median(r.cpu for r in a_runs),
             peer.mode, b_med, us_per_message(b_med, n), statistics.median(r.cpu for r in b_runs),
             statistics.median(ratios), min(ratios), max(ratios), max(r.rss for r in a_runs) / 1024), flush=True)
    if f_runs:
        f_med = statistics.median(r.wall for r in f_runs)
        print("       %-12s (reads and drops the same FETCH) %8.3f s | above it: tarnwick-cli %+6.0f ms,"
              " %s %+6.0f ms" % (floor.mode, f_med, (a_med - f_med) * 1e3, peer.mode, (b_med - f_med) * 1e3),
              flush=True)
    return a_med, b_med


def parse_arguments():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build", help="the build folder (holds app/cli/tarnwick-cli)")
    ap.add_argument("sizes", nargs="*", type=int, default=[200, 2000, 20000])
    ap.add_argument("--pairs", type=int, default=7, help="timed pairs per protocol and size (at least 7)")
    ap.add_argument("--kit", default=os.environ.get("TARNWICK_PEER_KIT", "/work/shared/bench"),
                    help="the peer kit: mailserver.sh, make_mailbox.py, peers.py")
    ap.add_argument("--dir", help="work folder (default /tmp/tw-scan-PID; must be short)")
    ap.add_argument("--homes", help="where the two Tarnwick home folders go (default: the work folder); "
                    "/dev/shm takes the disk's flushes out of the figures")
    ap.add_argument("--keep", action="store_true", help="leave the work folder behind")
    ap.add_argument("--hits", action="store_true", help="only scan once and print what each expression caught")
    a = ap.parse_args()
    if a.pairs < 7:
        fail("--pairs must be at least 7")
    a.cli = os.path.abspath(os.path.join(a.build, "app", "cli", "tarnwick-cli"))
    if not os.access(a.cli, os.X_OK):
        fail("no %s: build first (cmake --build %s)" % (a.cli, a.build))
    for tool in ("mailserver.sh", "make_mailbox.py", "peers.py"):
        if not os.path.exists(os.path.join(a.kit, tool)):
            fail("the peer kit %s has no %s (set --kit or TARNWICK_PEER_KIT)" % (a.kit, tool))
    a.work = os.path.abspath(a.dir or "/tmp/tw-scan-%d" % os.getpid())
    a.home_root = os.path.join(os.path.abspath(a.homes), "tw-scan-homes-%d" % os.getpid()) if a.homes else \
        os.path.join(a.work, "homes")
    return a


def fill_mailbox(a, n, peers):
    """The generated mailbox's summary; Dovecot has indexed it afterwards."""
    run_quiet([sys.executable, os.path.join(a.kit, "make_mailbox.py"), a.work, str(n)])
    with open(os.path.join(a.work, "mailbox.json")) as fh:
        box = json.load(fh)
    # The first session after filling the mailbox builds Dovecot's index.
    for peer in peers.values():
        checked_run(peer, os.path.join(a.work, "warm.out"), n)
    return box


def first_check(a, n, box, tarnwick):
    """(InBox, DelBox) of one check, which must list every message not filtered before."""
    timed(tarnwick.command(), tarnwick.env, os.path.join(a.work, "first.out"))
    got = Tarnwick.counts(os.path.join(a.work, "first.out"))
    listed = n - box["x_tarnwick_filtered"]  # already filtered: the scan skips them
    if not got or sum(got) != listed:
        fail("tarnwick-cli check listed %s, expected %d rows in all" % (got, listed))
    print("N=%d: %d spam in the mailbox (%.1f%%), %d already filtered; DelBox %d (%.1f%%), InBox %d"
          % (n, box["spam"], 100.0 * box["spam"] / max(n, 1), box["x_tarnwick_filtered"], got[1],
             100.0 * got[1] / max(n, 1), got[0]), flush=True)
    return got


def print_hits(tarnwick):
    for hits, category, rule, fields, content in tarnwick.hits():
        print("    %5d  %-14s rule %2d  fields %-18s %r"
              % (hits, bytes(category or b"").decode("cp1252"), rule, bytes(fields).decode(),
                 bytes(content or b"").decode("cp1252")))


def print_marginal_costs(figures):
    sizes = sorted({n for n, _ in figures})
    if len(sizes) < 2:
        return
    print("Cost of one more message between sizes (median difference / message count difference)")
    for proto, peer in (("POP3", "poplib"), ("IMAP", "imaplib-bulk")):
        for low, high in zip(sizes, sizes[1:]):
            t = [(figures[(high, proto)][i] - figures[(low, proto)][i]) / (high - low) * 1e6 for i in (0, 1)]
            print("  %-4s %6d -> %-6d tarnwick-cli %8.1f us/msg | %-12s %8.1f us/msg | ratio %5.2f"
                  % (proto, low, high, t[0], peer, t[1], t[0] / t[1] if t[1] else float("nan")))


def measure(a, ports):
    """{(N, protocol): (tarnwick-cli, peer) median seconds}."""
    tarnwicks = [Tarnwick(a.cli, os.path.join(a.home_root, "pop3"), "POP3", ports[0]),
                 Tarnwick(a.cli, os.path.join(a.home_root, "imap"), "IMAP", ports[1])]
    peers = {"POP3": Peer(a.kit, "poplib", ports), "IMAP": Peer(a.kit, "imaplib-bulk", ports)}
    floors = {"IMAP": StreamAlone(ports)}
    print("%d filter expressions in %d categories, %d blacklist entries"
          % (len(FILTERS), len({f[0] for f in FILTERS}), len(BLACKLIST)), flush=True)
    figures = {}
    for n in a.sizes:
        box = fill_mailbox(a, n, peers)
        boxes = first_check(a, n, box, tarnwicks[0])
        if a.hits:
            print_hits(tarnwicks[0])
            continue
        for tarnwick in tarnwicks:
            figures[(n, tarnwick.proto)] = compare(tarnwick, peers[tarnwick.proto], n, boxes, a.pairs, a.work,
                                                   floors.get(tarnwick.proto))
    return figures


def main():
    # A stopped run still stops its Dovecot (the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("scan_bench: stopped"))
    a = parse_arguments()
    ports = free_ports(2)
    print("tarnwick-cli %s; peers: %s %s; Dovecot POP3 %d, IMAP %d; %d pairs per figure; homes in %s"
          % (a.cli, sys.executable, sys.version.split()[0], ports[0], ports[1], a.pairs, a.home_root), flush=True)
    os.makedirs(a.work, exist_ok=True)
    mail_server(a.kit, "start", a.work, ports)
    try:
        figures = measure(a, ports)
    finally:
        mail_server(a.kit, "stop", a.work)
        if not a.keep:
            shutil.rmtree(a.work, ignore_errors=True)
            shutil.rmtree(a.home_root, ignore_errors=True)
    print_marginal_costs(figures)


if __name__ == "__main__":
    main()
