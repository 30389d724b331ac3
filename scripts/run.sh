#!/usr/bin/env bash
# `make run`: creates a default store when there is none, then runs the engine
# in the foreground until Ctrl-C.
set -euo pipefail
build=${1:-build}
store=${QUILLMAR_STORE:-/var/lib/quillmar/quillmar.db}
if [ ! -x "$build/bin/qlmsvr" ]; then
  echo "run: the engine is not built yet ($build/bin/qlmsvr)"
  exit 0
fi
if [ ! -f "$store" ]; then
  mkdir -p "$(dirname "$store")"
  echo "run: creating a default store at $store"
  QUILLMAR_STORE="$store" "$build/bin/qlmreg" init "$(cd "$(dirname "$0")/.." && pwd)"
fi
exec env QUILLMAR_STORE="$store" "$build/bin/qlmsvr" -debug
