#!/usr/bin/env bash
# SOCKS benchmark: single-stream CONNECT throughput, CONNECT set-up rate, and
# for Quillmar the resident memory while it holds many idle relayed
# connections; Quillmar's SOCKS server against a direct loopback copy, Dante
# (danted) and microsocks, all on 127.0.0.1, in one run.
# Usage: socks_bench.sh [BUILD] ; env MIB (stream size, default 1024),
# SECONDS_SETUP (default 5), HOLD (idle connections, default 2000).
set -euo pipefail
build=${1:-build}
mib=${MIB:-1024}
setup_seconds=${SECONDS_SETUP:-5}
hold=${HOLD:-2000}
client="$build/bin/qlm_socks_bench_client"
standalone="$build/bin/qlm_socks_standalone"
for program in "$client" "$standalone"; do
  [ -x "$program" ] || { echo "socks_bench: $program not built" >&2; exit 1; }
done

work=$(mktemp -d /tmp/qlm-socks-bench-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
wait_port() {
  for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "socks_bench: nothing listens on port $1" >&2
  return 1
}

ulimit -n "$(ulimit -Hn)"

qlm_port=$(free_port)
"$standalone" 127.0.0.1 "$qlm_port" - 5000 &
qlm_pid=$!
pids+=($qlm_pid)

dante_port=$(free_port)
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

micro_port=$(free_port)
microsocks -i 127.0.0.1 -p "$micro_port" > "$work/microsocks.out" 2>&1 &
pids+=($!)

wait_port "$qlm_port"; wait_port "$dante_port"; wait_port "$micro_port"

printf '%-11s %16s %18s\n' server "stream MiB/s" "CONNECTs per s"
for name_port in "direct:0" "quillmar:$qlm_port" "dante:$dante_port" "microsocks:$micro_port"; do
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

idle_rss=$(awk '/VmRSS/ {print $2}' "/proc/$qlm_pid/status")
read -r held_rss held <<<"$("$client" hold "$qlm_port" "$hold" "$qlm_pid")"
echo "quillmar VmRSS: ${idle_rss} KiB idle, ${held_rss} KiB holding ${held} idle SOCKS connections"
