#!/usr/bin/env bash
# HTTP proxy benchmark: requests per second and p99 latency for 1 KiB objects
# with and without keep-alive (wrk, absolute-URI requests), and large-object
# throughput (curl, 64 MiB), for Quillmar's HTTP proxy, squid and tinyproxy,
# all on 127.0.0.1 in front of the same local origin, in one run.
# Usage: http_bench.sh [BUILD] ; env DURATION (s, default 5), CONNS (default 32).
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/../.." && pwd)
duration=${DURATION:-5}
conns=${CONNS:-32}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/engine.sh
. "$here/../support/engine.sh"

work=$(mktemp -d /tmp/qlm-http-bench-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

head -c 1024 /dev/urandom > "$work/1k.bin"
head -c $((64 << 20)) /dev/urandom > "$work/64m.bin"

origin_port=$(bench_free_port)
python3 "$root/tests/e2e/http/http_origin.py" 127.0.0.1 "$origin_port" "$work" &
pids+=($!)
bench_wait_port "$origin_port"

# Quillmar: the engine itself from a store of its own (HTTP only).
qlm_port=$(bench_free_port)
bench_start_engine "$build" "$work" HTTP "$qlm_port"
pids+=("$ENGINE_PID")

squid_port=$(bench_free_port)
mkdir -p "$work/squid"
chmod 777 "$work/squid"
cat > "$work/squid.conf" <<CONF
http_port 127.0.0.1:$squid_port
http_access allow all
cache deny all
cache_mem 8 MB
access_log none
cache_store_log none
cache_log $work/squid/cache.log
pid_filename $work/squid/squid.pid
coredump_dir $work/squid
shutdown_lifetime 0 seconds
via on
CONF
squid -N -f "$work/squid.conf" > "$work/squid/stderr.log" 2>&1 &
pids+=($!)

tiny_port=$(bench_free_port)
cat > "$work/tinyproxy.conf" <<CONF
User nobody
Group nogroup
Port $tiny_port
Listen 127.0.0.1
Timeout 600
MaxClients 512
Allow 127.0.0.1
LogLevel Critical
CONF
tinyproxy -d -c "$work/tinyproxy.conf" > "$work/tinyproxy.out" 2>&1 &
pids+=($!)

bench_wait_port "$qlm_port"; bench_wait_port "$squid_port"; bench_wait_port "$tiny_port"

small="http://127.0.0.1:$origin_port/length/1k.bin"
large="http://127.0.0.1:$origin_port/length/64m.bin"

# Every proxy must deliver the object whole before it is measured.
for name_port in "quillmar:$qlm_port" "squid:$squid_port" "tinyproxy:$tiny_port"; do
  port=${name_port#*:}
  if ! curl -s --max-time 30 -x "http://127.0.0.1:$port" "$small" | cmp -s - "$work/1k.bin"; then
    echo "http_bench: ${name_port%%:*} did not relay the object intact" >&2
    exit 1
  fi
done

run_wrk() {  # port close -> "rps p99"
  local out
  out=$(TARGET="$small" CLOSE="$2" wrk -t2 -c"$conns" -d"${duration}s" --latency \
        -s "$here/absolute_uri.lua" "http://127.0.0.1:$1/" 2>&1)
  local rps p99 errors
  rps=$(awk '/Requests\/sec/ {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {print $2}' <<<"$out")
  errors=$(awk '/Non-2xx|Socket errors/ {printf "%s ", $0}' <<<"$out")
  echo "$rps $p99 ${errors:-}"
}

run_curl() {  # port -> MiB/s
  curl -s --max-time 120 -x "http://127.0.0.1:$1" -o /dev/null -w '%{speed_download}' "$large" |
    awk '{printf "%.1f", $1 / 1048576}'
}

printf '%-10s %14s %10s %14s %10s %12s\n' proxy "keepalive rps" "p99" "close rps" "p99" "64MiB MiB/s"
for name_port in "quillmar:$qlm_port" "squid:$squid_port" "tinyproxy:$tiny_port"; do
  name=${name_port%%:*}
  port=${name_port#*:}
  read -r ka_rps ka_p99 ka_err <<<"$(run_wrk "$port" 0)"
  read -r cl_rps cl_p99 cl_err <<<"$(run_wrk "$port" 1)"
  mib=$(run_curl "$port")
  printf '%-10s %14s %10s %14s %10s %12s\n' "$name" "$ka_rps" "$ka_p99" "$cl_rps" "$cl_p99" "$mib"
  [ -z "$ka_err$cl_err" ] || echo "  ($name: $ka_err $cl_err)"
done
