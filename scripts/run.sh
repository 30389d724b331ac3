#!/usr/bin/env bash
# `make run`: creates a default store when there is none, then runs the engine
# in the foreground until Ctrl-C. With an empty store the engine adds its seven
# basic daemons (DNS, HTTP, SOCKS enabled) on the host's first address, on
# their well-known ports (53, 80, 1080, ...), which need root.
set -euo pipefail
build=${1:-build}
repo=$(cd "$(dirname "$0")/.." && pwd)
store=${QUILLMAR_STORE:-/var/lib/quillmar/quillmar.db}
for program in qlmsvr qlmreg; do
  if [ ! -x "$build/bin/$program" ]; then
    echo "run: $build/bin/$program is not built" >&2
    exit 1
  fi
done
if [ ! -f "$store" ]; then
  mkdir -p "$(dirname "$store")"
  echo "run: creating a default store at $store"
  QUILLMAR_STORE="$store" "$build/bin/qlmreg" init "$repo"
fi
if [ "$(id -u)" != 0 ]; then
  echo "run: not root: the daemons' well-known ports (53, 80, 1080, ...) will not open" >&2
fi
echo "run: starting the engine (Ctrl-C stops it); log lines go to the Log section's file"
exec env QUILLMAR_STORE="$store" "$build/bin/qlmsvr" -debug
