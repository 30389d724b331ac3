#!/usr/bin/env bash
# HTTP proxy benchmark: requests per second and p99 latency for 1 KiB objects
# with and without keep-alive (wrk, absolute-URI requests), and large-object
# throughput (curl, 64 MiB), for Quillmar's HTTP proxy, squid and tinyproxy,
# all on 127.0.0.1 in front of the same local origin, in one run.
# Also the CONNECT tunnel (one stream, set-up rate) and the resident memory
# per idle tunnel and per idle keep-alive client, through
# qlm_socks_bench_client's HTTP CONNECT mode.
# Usage: http_bench.sh [BUILD] ; env DURATION (s, default 5), CONNS (default 50),
# LARGE_MIB (the large object, default 1024), HOLD (idle clients, default 2000).
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/../.." && pwd)
duration=${DURATION:-5}
conns=${CONNS:-50}
large_mib=${LARGE_MIB:-1024}
hold=${HOLD:-2000}
client="$build/bin/qlm_socks_bench_client"
[ -x "$client" ] || { echo "http_bench: $client not built" >&2; exit 1; }
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

ulimit -n "$(ulimit -Hn)"

head -c 1024 /dev/urandom > "$work/1k.bin"
head -c $((large_mib << 20)) /dev/urandom > "$work/large.bin"

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
max_filedescriptors 16384
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
MaxClients 4096
Allow 127.0.0.1
LogLevel Critical
CONF
tinyproxy -d -c "$work/tinyproxy.conf" > "$work/tinyproxy.out" 2>&1 &
pids+=($!)

bench_wait_port "$qlm_port"; bench_wait_port "$squid_port"; bench_wait_port "$tiny_port"

small="http://127.0.0.1:$origin_port/length/1k.bin"
large="http://127.0.0.1:$origin_port/length/large.bin"

# Every proxy must deliver the object whole before it is measured.
for name_port in "quillmar:$qlm_port" "squid:$squid_port" "tinyproxy:$tiny_port"; do
  port=${name_port#*:}
  if ! curl -s --max-time 30 -x "http://127.0.0.1:$port" "$small" | cmp -s - "$work/1k.bin"; then
    echo "http_bench: ${name_port%%:*} did not relay the object intact" >&2
    exit 1
  fi
done

run_wrk() {  # port close target -> "rps p99" (port 0: straight to the origin)
  local out url="http://127.0.0.1:$1/"
  [ "$1" != 0 ] || url="http://127.0.0.1:$origin_port/"
  out=$(TARGET="$3" CLOSE="$2" wrk -t2 -c"$conns" -d"${duration}s" --latency \
        -s "$here/absolute_uri.lua" "$url" 2>&1)
  local rps p99 errors
  rps=$(awk '/Requests\/sec/ {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {print $2}' <<<"$out")
  errors=$(awk '/Non-2xx|Socket errors/ {printf "%s ", $0}' <<<"$out")
  echo "$rps $p99 ${errors:-}"
}

run_curl() {  # port -> MiB/s (port 0: straight to the origin)
  local proxy=(-x "http://127.0.0.1:$1")
  [ "$1" != 0 ] || proxy=()
  curl -s --max-time 600 "${proxy[@]}" -o /dev/null -w '%{speed_download}' "$large" |
    awk '{printf "%.1f", $1 / 1048576}'
}

ms() {  # wrk's latency text (e.g. 3.30ms, 2.29s, 850.00us) -> milliseconds
  awk -v t="$1" 'BEGIN {v = t + 0; if (t ~ /us$/) v /= 1000; else if (t ~ /ms$/) v += 0;
                 else if (t ~ /s$/) v *= 1000; printf "%.2f", v}'
}

server_pids() {  # name -> the processes doing its work
  case $1 in
    quillmar) echo "$ENGINE_PID" ;;
    squid) pgrep -f "$work/squid.conf" | tr '\n' ' ' ;;
    tinyproxy) pgrep -f "$work/tinyproxy.conf" | tr '\n' ' ' ;;
  esac
}

printf '%-10s %14s %10s %14s %10s %12s %10s\n' proxy "keepalive rps" "p99" "close rps" "p99" \
  "${large_mib}MiB MiB/s" "CPU-s/GiB"
for name_port in "direct:0" "quillmar:$qlm_port" "squid:$squid_port" "tinyproxy:$tiny_port"; do
  name=${name_port%%:*}
  port=${name_port#*:}
  target=$small
  [ "$port" != 0 ] || target=/length/1k.bin
  read -r ka_rps ka_p99 ka_err <<<"$(run_wrk "$port" 0 "$target")"
  read -r cl_rps cl_p99 cl_err <<<"$(run_wrk "$port" 1 "$target")"
  cpu="-"
  if [ "$port" = 0 ]; then
    mib=$(run_curl "$port")
  else
    read -ra busy <<<"$(server_pids "$name")"
    before=$(bench_cpu_seconds "${busy[@]}")
    mib=$(run_curl "$port")
    after=$(bench_cpu_seconds "${busy[@]}")
    cpu=$(awk -v a="$after" -v b="$before" -v m="$large_mib" 'BEGIN {printf "%.2f", (a - b) * 1024 / m}')
    bench_row "HTTP ${large_mib} MiB download CPU-s per GiB" "$name" "$cpu" "CPU-s/GiB"
  fi
  printf '%-10s %14s %10s %14s %10s %12s %10s\n' "$name" "$ka_rps" "$ka_p99" "$cl_rps" "$cl_p99" "$mib" "$cpu"
  [ -z "$ka_err$cl_err" ] || echo "  ($name: $ka_err $cl_err)"
  bench_row "HTTP 1 KiB keep-alive, $conns clients" "$name" "$ka_rps" "req/s"
  bench_row "HTTP 1 KiB keep-alive p99" "$name" "$(ms "$ka_p99")" "ms"
  bench_row "HTTP 1 KiB Connection: close" "$name" "$cl_rps" "req/s"
  bench_row "HTTP 1 KiB Connection: close p99" "$name" "$(ms "$cl_p99")" "ms"
  bench_row "HTTP ${large_mib} MiB download" "$name" "$mib" "MiB/s"
done

# CONNECT tunnels: one stream, the set-up rate, and memory while idle.
printf '%-10s %16s %12s %18s\n' proxy "tunnel MiB/s" "CPU-s/GiB" "CONNECTs per s"
for name_port in "direct:0" "quillmar:$qlm_port" "squid:$squid_port" "tinyproxy:$tiny_port"; do
  name=${name_port%%:*}
  port=${name_port#*:}
  via="http:$port"
  [ "$port" != 0 ] || via=0
  cpu="-"
  if [ "$port" = 0 ]; then
    mibs=$("$client" throughput "$via" "$large_mib")
  else
    read -ra busy <<<"$(server_pids "$name")"
    before=$(bench_cpu_seconds "${busy[@]}")
    mibs=$("$client" throughput "$via" "$large_mib") || mibs=failed
    after=$(bench_cpu_seconds "${busy[@]}")
    cpu=$(awk -v a="$after" -v b="$before" -v m="$large_mib" 'BEGIN {printf "%.2f", (a - b) * 1024 / m}')
    bench_row "CONNECT tunnel CPU-s per GiB" "$name" "$cpu" "CPU-s/GiB"
  fi
  rate=$("$client" setup "$via" "${SECONDS_SETUP:-5}") || rate=failed
  printf '%-10s %16s %12s %18s\n' "$name" "$mibs" "$cpu" "$rate"
  bench_row "CONNECT tunnel ${large_mib} MiB" "$name" "$mibs" "MiB/s"
  bench_row "CONNECT tunnel set-ups" "$name" "${rate%% *}" "per s"
done

for name_port in "quillmar:$qlm_port" "tinyproxy:$tiny_port" "squid:$squid_port"; do
  name=${name_port%%:*}
  port=${name_port#*:}
  pid=$(server_pids "$name" | awk '{print $1}')
  # One baseline for both: what the second hold finds freed by the first is
  # counted against it, so its figure is an upper bound.
  idle=$(bench_rss_kib "$pid")
  read -r held n <<<"$("$client" hold "http:$port" "$hold" "$pid")" || true
  echo "$name VmRSS: $idle KiB idle, $held KiB holding $n idle CONNECT tunnels"
  bench_row "CONNECT idle tunnel ($hold held)" "$name" \
    "$(awk -v h="$held" -v i="$idle" -v n="$n" 'BEGIN {printf "%.1f", (n > 0 ? (h - i) / n : 0)}')" "KiB"
  read -r held n <<<"$("$client" keepalive "$port" "$hold" "$pid" "$origin_port")" || true
  echo "$name VmRSS: $idle KiB idle, $held KiB holding $n idle keep-alive clients"
  bench_row "HTTP idle keep-alive client ($hold held)" "$name" \
    "$(awk -v h="$held" -v i="$idle" -v n="$n" 'BEGIN {printf "%.1f", (n > 0 ? (h - i) / n : 0)}')" "KiB"
done
