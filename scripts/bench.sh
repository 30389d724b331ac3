#!/usr/bin/env bash
# Runs every benchmark program in BUILD/bin (bench_*) and every whole-process
# benchmark script under bench/ (*.sh), printing their figures.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
for b in "$build"/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
for s in "$root"/bench/*/*.sh; do
  [ -f "$s" ] || continue
  case "$s" in */bench/support/*) continue ;; esac  # helpers the scripts source
  echo "== $s"
  bash "$s" "$build"
done
