#!/usr/bin/env bash
# SOCKS benchmark: single-stream CONNECT throughput, CONNECT set-up rate, and
# for Quillmar the resident memory while it holds many idle relayed
# connections; Quillmar's engine (qlmsvr with a SOCKS daemon, when built) and
# its SOCKS server alone in a process, against a direct loopback copy, Dante
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

# The engine, from a store of its own, when it is built.
engine_port=""
if [ -x "$build/bin/qlmsvr" ] && [ -x "$build/bin/qlmreg" ]; then
  engine_port=$(free_port)
  dword() { printf 'dword:%08x' "$1"; }
  store_env=(QUILLMAR_STORE="$work/quillmar.db" QUILLMAR_RUNDIR="$work/run"
             QUILLMAR_MANAGER_PORT="$(free_port)")
  {
    printf '[General]\n"UseDefaultIP"=%s\n"DefaultIP"="127.0.0.1"\n\n' "$(dword 1)"
    printf '[Activity]\n"Enable"=%s\n"MaxConnections"=%s\n\n' "$(dword 0)" "$(dword 5000)"
    printf '[Log]\n"FileName"="%s"\n"Enable"=%s\n\n' "$work/engine.log" "$(dword 0)"
    for name in DNS HTTP SOCKS FTP Telnet RealAudio Email; do
      if [ "$name" = SOCKS ]; then port=$engine_port; enable=01; else port=$(free_port); enable=00; fi
      printf '[Daemons\\127.0.0.1:%s]\n"Name"="%s"\n"DefaultPort"=%s\n"Enable"=hex:%s\n"Security"=hex:00\n\n' \
        "$port" "$name" "$(dword "$port")" "$enable"
    done
  } > "$work/store.txt"
  env "${store_env[@]}" "$build/bin/qlmreg" init "$work" > /dev/null
  env "${store_env[@]}" "$build/bin/qlmreg" import - < "$work/store.txt" > /dev/null
  env "${store_env[@]}" "$build/bin/qlmsvr" -debug > "$work/engine.out" 2>&1 &
  engine_pid=$!
  pids+=($engine_pid)
fi

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
servers=("direct:0")
[ -z "$engine_port" ] || { wait_port "$engine_port"; servers+=("qlmsvr:$engine_port"); }
servers+=("standalone:$qlm_port" "dante:$dante_port" "microsocks:$micro_port")

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
[ -z "$engine_port" ] || report_rss qlmsvr "$engine_port" "$engine_pid"
report_rss standalone "$qlm_port" "$qlm_pid"
