#!/bin/sh
# Starts private mail servers, runs the POP3 header benchmark, stops them.
#   bench/mail/run_pop3_bench.sh [BUILD_FOLDER]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
info=$(mktemp /tmp/twbench.XXXXXX)
rm -f "$info"
trap 'sh "$root/tests/servers/mailservers.sh" stop "$info"' EXIT
sh "$root/tests/servers/mailservers.sh" start "$info"
TARNWICK_MAILSERVERS=$info "$build/bench/mail/bench_pop3_headers"
