#!/usr/bin/env bash
# Runs every libFuzzer target in BUILD/bin for SECONDS each on its kept corpus.
# New inputs found go to a scratch folder, so the kept corpus changes only by hand.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for fuzzer in "$build"/bin/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="$root/tests/fuzz/corpus/$name"
  scratch=$(mktemp -d)
  echo "fuzz: $name for ${seconds}s"
  if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$build/$name-" "$scratch" "$corpus"; then
    echo "fuzz: $name FAILED (artifacts in $build)"
    status=1
  fi
  rm -rf "$scratch"
done
exit $status
