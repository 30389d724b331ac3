#!/usr/bin/env bash
# SOCKS benchmark: single-stream CONNECT throughput, CONNECT set-up rate, and
# for Quillmar the resident memory while it holds many idle relayed
# connections; Quillmar's engine (qlmsvr with a SOCKS daemon) against a direct
# loopback copy, Dante (danted) and microsocks, all on 127.0.0.1, in one run.
# Usage: socks_bench.sh [BUILD] ; env MIB (stream size, default 1024),
# SECONDS_SETUP (default 5), HOLD (idle connections, default 2000).
set -euo pipefail
build=${1:-build}
mib=${MIB:-1024}
setup_seconds=${SECONDS_SETUP:-5}
hold=${HOLD:-2000}
client="$build/bin/qlm_socks_bench_client"
[ -x "$client" ] || { echo "socks_bench: $client not built" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/engine.sh
. "$here/../support/engine.sh"

work=$(mktemp -d /tmp/qlm-socks-bench-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

ulimit -n "$(ulimit -Hn)"

# The engine, from a store of its own.
engine_port=$(bench_free_port)
bench_start_engine "$build" "$work" SOCKS "$engine_port"
engine_pid=$ENGINE_PID
pids+=("$engine_pid")

dante_port=$(bench_free_port)
cat > "$work/danted.conf" <<CONF
logoutput: $work/danted.log
internal: 127.0.0.1 port = $dante_port
external: 127.0.0.1
clientmethod: none
socksmethod: none
user.privileged: root
user.unprivileged: nobody
client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }
socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 command: connect }
CONF
danted -f "$work/danted.conf" -p "$work/danted.pid" -N 2 > "$work/danted.out" 2>&1 &
dante_pid=$!
pids+=("$dante_pid")

micro_port=$(bench_free_port)
microsocks -i 127.0.0.1 -p "$micro_port" > "$work/microsocks.out" 2>&1 &
pids+=($!)

bench_wait_port "$engine_port"; bench_wait_port "$dante_port"; bench_wait_port "$micro_port"
servers=("direct:0" "qlmsvr:$engine_port" "dante:$dante_port" "microsocks:$micro_port")
server_pids() {  # name -> the processes doing its work
  case $1 in
    qlmsvr) echo "$engine_pid" ;;
    dante) echo "$dante_pid $(pgrep -P "$dante_pid" | tr '\n' ' ')" ;;
    microsocks) pgrep -f "microsocks -i 127.0.0.1 -p $micro_port" | tr '\n' ' ' ;;
  esac
}

printf '%-11s %16s %14s %18s\n' server "stream MiB/s" "CPU-s/GiB" "CONNECTs per s"
for name_port in "${servers[@]}"; do
  name=${name_port%%:*}
  port=${name_port#*:}
  cpu="-"
  if [ "$port" = 0 ]; then
    mibs=$("$client" throughput "$port" "$mib")
  else
    read -ra busy <<<"$(server_pids "$name")"
    before=$(bench_cpu_seconds "${busy[@]}")
    mibs=$("$client" throughput "$port" "$mib")
    after=$(bench_cpu_seconds "${busy[@]}")
    cpu=$(awk -v a="$after" -v b="$before" -v m="$mib" 'BEGIN {printf "%.2f", (a - b) * 1024 / m}')
    bench_row "SOCKS5 stream CPU-s per GiB" "$name" "$cpu" "CPU-s/GiB"
  fi
  rate=$("$client" setup "$port" "$setup_seconds")
  printf '%-11s %16s %14s %18s\n' "$name" "$mibs" "$cpu" "$rate"
  bench_row "SOCKS5 stream ${mib} MiB" "$name" "$mibs" "MiB/s"
  bench_row "SOCKS5 CONNECT set-ups" "$name" "${rate%% *}" "per s"
done

report_rss() {  # name port pid
  local idle_rss held_rss held
  idle_rss=$(bench_rss_kib "$3")
  read -r held_rss held <<<"$("$client" hold "$2" "$hold" "$3")"
  echo "$1 VmRSS: ${idle_rss} KiB idle, ${held_rss} KiB holding ${held} idle SOCKS connections"
  bench_row "SOCKS5 idle session ($hold held)" "$1" \
    "$(awk -v h="$held_rss" -v i="$idle_rss" -v n="$held" 'BEGIN {printf "%.1f", (h - i) / n}')" "KiB"
}
report_rss qlmsvr "$engine_port" "$engine_pid"
report_rss microsocks "$micro_port" "$(server_pids microsocks | awk '{print $1}')"
