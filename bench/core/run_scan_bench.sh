#!/bin/sh
# Starts private mail servers, runs the scan benchmark, stops them.
#   bench/core/run_scan_bench.sh [BUILD_FOLDER] [MESSAGES]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
info=$(mktemp /tmp/twbench.XXXXXX)
rm -f "$info"
trap 'sh "$root/tests/servers/mailservers.sh" stop "$info"' EXIT
sh "$root/tests/servers/mailservers.sh" start "$info"
TARNWICK_MAILSERVERS=$info "$build/bench/core/bench_scan" ${2:-2000}
