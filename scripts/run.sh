#!/usr/bin/env bash
# `make run`: creates a default store when there is none, then runs the engine
# in the foreground until Ctrl-C. With an empty store the engine adds its seven
# basic daemons (DNS, HTTP, SOCKS enabled) on the host's first address, on
# their well-known ports (53, 80, 1080, ...), which need root.
#
# InstallDir is the folder holding the programs: here the build's bin folder.
# The default log file (InstallDir/MMDDYYYY.log) lands there too, and the
# engine runs in that folder, so nothing of a run lands in the source tree.
set -euo pipefail
build=${1:-build}
if [ ! -d "$build/bin" ]; then
  echo "run: $build/bin does not exist; build first (make build)" >&2
  exit 1
fi
bin=$(cd "$build/bin" && pwd)
store=$(realpath -m "${QUILLMAR_STORE:-/var/lib/quillmar/quillmar.db}")
for program in qlmsvr qlmreg; do
  if [ ! -x "$bin/$program" ]; then
    echo "run: $bin/$program is not built" >&2
    exit 1
  fi
done
qlmreg() { QUILLMAR_STORE="$store" "$bin/qlmreg" "$@"; }

if [ ! -f "$store" ]; then
  mkdir -p "$(dirname "$store")"
  echo "run: creating a default store at $store (InstallDir $bin, log on)"
  qlmreg init "$bin"
  # The log on, so that a first run shows what the engine does.
  printf '[Log]\n"Enable"=dword:00000001\n' | qlmreg import -
else
  install_dir=$(qlmreg get "" InstallDir 2>/dev/null || true)
  if [ ! -x "$install_dir/qlmsvr" ] || [ -d "$install_dir/qlmsvr" ]; then
    echo "run: InstallDir of $store was '$install_dir', which holds no qlmsvr; setting it to $bin"
    qlmreg init "$bin"
  fi
fi
if [ "$(id -u)" != 0 ]; then
  echo "run: not root: the daemons' well-known ports (53, 80, 1080, ...) will not open" >&2
fi
echo "run: starting the engine (Ctrl-C stops it); its log lines show here"
cd "$bin"
exec env QUILLMAR_STORE="$store" "$bin/qlmsvr" -debug
