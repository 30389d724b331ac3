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
pids+=($!)

micro_port=$(bench_free_port)
microsocks -i 127.0.0.1 -p "$micro_port" > "$work/microsocks.out" 2>&1 &
pids+=($!)

bench_wait_port "$engine_port"; bench_wait_port "$dante_port"; bench_wait_port "$micro_port"
servers=("direct:0" "qlmsvr:$engine_port" "dante:$dante_port" "microsocks:$micro_port")

printf '%-11s %16s %18s\n' server "stream MiB/s" "CONNECTs per s"
for name_port in "${servers[@]}"; do
  name=${name_port%%:*}
  port=${name_port#*:}
  mibs=$("$client" throughput "$port" "$mib")
  if [ "$port" = 0 ]; then
    rate=$("$client" setup 0 "$setup_seconds")
  else
    rate=$("$client" setup "$port" "$setup_seconds")
  fi
  printf '%-11s %16s %18s\n' "$name" "$mibs" "$rate"
done

report_rss() {  # name port pid
  local idle_rss held_rss held
  idle_rss=$(awk '/VmRSS/ {print $2}' "/proc/$3/status")
  read -r held_rss held <<<"$("$client" hold "$2" "$hold" "$3")"
  echo "$1 VmRSS: ${idle_rss} KiB idle, ${held_rss} KiB holding ${held} idle SOCKS connections"
}
report_rss qlmsvr "$engine_port" "$engine_pid"
