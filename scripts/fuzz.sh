#!/usr/bin/env bash
# Runs every libFuzzer target in BUILD/bin for SECONDS each on its kept corpus,
# one after another, and ends with a table of executions per second and
# coverage. New inputs found go to a scratch folder, so the kept corpus
# changes only by hand. FUZZ_TARGETS (names, space-separated) picks a subset.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
summary=()
for fuzzer in "$build"/bin/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  if [ -n "${FUZZ_TARGETS:-}" ] && [[ " $FUZZ_TARGETS " != *" $name "* ]]; then
    continue
  fi
  corpus="$root/tests/fuzz/corpus/$name"
  scratch=$(mktemp -d)
  output="$build/$name.log"
  echo "fuzz: $name for ${seconds}s"
  result=clean
  if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$build/$name-" "$scratch" "$corpus" >"$output" 2>&1; then
    echo "fuzz: $name FAILED (artifacts in $build, output in $output)"
    tail -40 "$output"
    result=FAILED
    status=1
  fi
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$output" | tail -1 || true)
  runs=$(grep -E '^stat::number_of_executed_units' "$output" | awk '{print $2}' || true)
  rate=$(grep -E '^stat::average_exec_per_sec' "$output" | awk '{print $2}' || true)
  cov=$(sed -nE 's/.* cov: ([0-9]+) ft: ([0-9]+) corp: ([0-9]+).*/\1 \2 \3/p' <<<"$done_line")
  summary+=("$(printf '%-24s %-7s %6ss %12s %9s  %s' "$name" "$result" "$seconds" \
    "${runs:--}" "${rate:--}" "${cov:--}")")
  rm -rf "$scratch"
done
printf '%-24s %-7s %7s %12s %9s  %s\n' target result time runs exec/s "cov features corpus"
printf '%s\n' "${summary[@]}"
exit $status
