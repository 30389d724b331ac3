#!/usr/bin/env bash
# Runs every benchmark program in BUILD/bin (bench_*) and every whole-process
# benchmark script under bench/ (*.sh) BENCH_ROUNDS times (default 3), then
# prints one table of their figures: the median per work and server, and the
# ratio to a direct connection measured in the same round. BENCH_ONLY limits
# the scripts to those whose path matches it (e.g. BENCH_ONLY=socks).
set -euo pipefail
build=${1:-build}
rounds=${BENCH_ROUNDS:-3}
only=${BENCH_ONLY:-}
root=$(cd "$(dirname "$0")/.." && pwd)
log=$(mktemp /tmp/qlm-bench-XXXXXX.log)
status=0
for round in $(seq 1 "$rounds"); do
  echo "@round $round" >> "$log"
  for b in "$build"/bin/bench_*; do
    [ -x "$b" ] || continue
    [ -z "$only" ] || [[ "$b" == *"$only"* ]] || continue
    echo "== round $round: $(basename "$b")"
    "$b" 2>&1 | tee -a "$log" || status=1
  done
  for s in "$root"/bench/*/*.sh; do
    [ -f "$s" ] || continue
    case "$s" in */bench/support/*) continue ;; esac  # helpers the scripts source
    [ -z "$only" ] || [[ "$s" == *"$only"* ]] || continue
    echo "== round $round: $s"
    bash "$s" "$build" 2>&1 | tee -a "$log" || { echo "== $s FAILED"; status=1; }
  done
done
echo
echo "== all benchmarks, $rounds round(s); full output in $log"
/usr/bin/python3 "$root/scripts/bench_table.py" "$log"
exit $status
