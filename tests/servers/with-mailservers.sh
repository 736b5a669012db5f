#!/bin/sh
# Starts private mail servers, runs a command with TARNWICK_MAILSERVERS naming
# them, stops them again. For benchmarks and manual runs:
#   tests/servers/with-mailservers.sh build/bench/core/bench_scan 2000
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
info=$(mktemp /tmp/twservers.XXXXXX)
rm -f "$info"
trap 'sh "$root/tests/servers/mailservers.sh" stop "$info"' EXIT
sh "$root/tests/servers/mailservers.sh" start "$info"
TARNWICK_MAILSERVERS=$info "$@"
