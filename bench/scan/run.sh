#!/usr/bin/env bash
# Receive Mail by tarnwick-cli beside Python's poplib and imaplib, whole
# processes in turn, on a private Dovecot filled with generated mailboxes.
#   bench/scan/run.sh BUILD [N...]        (default sizes 200 2000 20000)
# PAIRS (timed pairs per figure, default 7) and TARNWICK_PEER_KIT (the peer
# kit with mailserver.sh, make_mailbox.py and peers.py; default
# /work/shared/bench) come from the environment. Not part of the tests.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD [N...]" >&2
    exit 2
fi
# Debian's own interpreter: the peers must not pay for a version manager's
# shim at every start, and make_mailbox.py needs its email test corpus
# (libpython3.11-testsuite).
exec /usr/bin/python3 "$here/scan_bench.py" --pairs "${PAIRS:-7}" "$@"
