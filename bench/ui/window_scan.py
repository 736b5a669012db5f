#!/usr/bin/python3
"""Receive Mail through the desktop program's window beside the same scan by
tarnwick-cli, whole processes in turn, on a private Dovecot with a generated
mailbox of 10,000 real-looking messages and the scan benchmark's filters.

    bench/ui/window_scan.py BUILD [--messages N] [--pairs P]

Prints the medians of both sides (the window's own scan time, from the click
to the end of the scan, and both whole processes), the ratio, the longest and
the median time one title click keeps the window busy sorting the InBox, and
the peak memory of both. Not part of the tests.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scan"))
import scan_bench as sb  # noqa: E402


def window_run(program, home, work):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", TARNWICK_HOME=home,
               XDG_DATA_HOME=os.path.join(home, "xdg"), XDG_DATA_DIRS=os.path.join(home, "xdg"))
    out = os.path.join(work, "window.out")
    run = sb.timed([program, home], env, out)
    if run.status != 0:
        sb.fail("bench_window_scan failed: " + open(out + ".err").read()[-800:])
    values = dict(line.strip().split("=", 1) for line in open(out) if "=" in line)
    return run, values


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build")
    ap.add_argument("--messages", type=int, default=10000)
    ap.add_argument("--pairs", type=int, default=7)
    ap.add_argument("--kit", default=os.environ.get("TARNWICK_PEER_KIT", "/work/shared/bench"))
    a = ap.parse_args()
    cli = os.path.abspath(os.path.join(a.build, "app", "cli", "tarnwick-cli"))
    program = os.path.abspath(os.path.join(a.build, "bench", "ui", "bench_window_scan"))
    for path in (cli, program):
        if not os.access(path, os.X_OK):
            sb.fail("no %s: build first" % path)
    work = "/tmp/tw-window-%d" % os.getpid()
    os.makedirs(work)
    ports = sb.free_ports(2)
    sb.mail_server(a.kit, "start", work, ports)
    try:
        sb.run_quiet([sys.executable, os.path.join(a.kit, "make_mailbox.py"), work, str(a.messages)])
        tarnwick = sb.Tarnwick(cli, os.path.join(work, "home"), "POP3", ports[0])
        sb.timed(tarnwick.command(), tarnwick.env, os.path.join(work, "warm.out"))  # Dovecot's index
        counts = sb.Tarnwick.counts(os.path.join(work, "warm.out"))
        print("%d messages; tarnwick-cli check lists InBox %d, DelBox %d; %d pairs" % (a.messages, counts[0],
                                                                                     counts[1], a.pairs), flush=True)
        cli_runs, window_runs, inside, sort_max, sort_median = [], [], [], [], []
        for _ in range(a.pairs):
            run = sb.checked_run(tarnwick, os.path.join(work, "cli.out"), counts)
            cli_runs.append(run)
            wrun, values = window_run(program, tarnwick.home, work)
            if int(values["rows"]) != sum(counts):
                sb.fail("the window listed %s rows, the command line %d" % (values["rows"], sum(counts)))
            window_runs.append(wrun)
            inside.append(float(values["scan_seconds"]))
            sort_max.append(float(values["sort_ms_max"]))
            sort_median.append(float(values["sort_ms_median"]))
            rss = int(values["peak_rss_kib"])
        cli_med = statistics.median(r.wall for r in cli_runs)
        win_med = statistics.median(r.wall for r in window_runs)
        in_med = statistics.median(inside)
        print("tarnwick-cli check (whole process)      %7.3f s   peak RSS %6.1f MiB"
              % (cli_med, max(r.rss for r in cli_runs) / 1024))
        print("window: whole process                   %7.3f s   peak RSS %6.1f MiB   ratio to the CLI %5.2f"
              % (win_med, max(r.rss for r in window_runs) / 1024, win_med / cli_med))
        print("window: the scan alone (click to end)   %7.3f s                        ratio to the CLI %5.2f"
              % (in_med, in_med / cli_med))
        print("sorting %d rows by a title click: median %.1f ms, longest %.1f ms (worst run)"
              % (counts[0], statistics.median(sort_median), max(sort_max)))
    finally:
        sb.mail_server(a.kit, "stop", work)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
