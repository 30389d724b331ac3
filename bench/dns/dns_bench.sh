#!/usr/bin/env bash
# DNS relay benchmark: queries per second with dnsperf for local answers
# (names from a hosts file) and for relayed queries (upstream: a dnsmasq
# answering from a hosts file), Quillmar's engine against Debian's dnsmasq in
# the same two roles; then the resident memory and threads of the engine
# while HOLD queries wait for a server that never answers, which is what the
# bound on DNS workers is chosen from. Everything runs inside a network
# namespace of the script's own. Needs root (ip netns).
# Usage: dns_bench.sh [BUILD] ; env SECONDS_LOAD (default 10), HOLD (default 1000).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${SECONDS_LOAD:-10}
hold=${HOLD:-1000}
for program in "$build/bin/qlmsvr" "$build/bin/qlmreg" dnsperf dnsmasq dig python3; do
  command -v "$program" >/dev/null || { echo "dns_bench: $program missing" >&2; exit 1; }
done

ns=qlm-dns-bench-$$
work=$(mktemp -d /tmp/qlm-dns-bench-XXXXXX)
chmod 755 "$work"  # dnsmasq reads the names as nobody
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  ip netns del "$ns" 2>/dev/null || true
  rm -rf "/etc/netns/$ns"
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
in_ns() { ip netns exec "$ns" "$@"; }

ip netns add "$ns"
in_ns ip link set lo up
mkdir -p "/etc/netns/$ns"
printf '127.0.0.1 localhost %s\n' "$(hostname)" > "/etc/netns/$ns/hosts"
printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' > "/etc/netns/$ns/resolv.conf"
names=1000
for i in $(seq 1 $names); do
  echo "10.$((i / 250)).$((i % 250)).1 host$i.office"
done > "$work/names"
cat "$work/names" >> "/etc/netns/$ns/hosts"
for i in $(seq 1 $names); do echo "host$i.office A"; done > "$work/queries"

# An engine with one DNS daemon on 127.0.0.2:5300; $1 = Forward, $2 = server.
start_engine() {
  local dir="$work/engine-$1-$2"
  mkdir -p "$dir/run"
  {
    printf '[General]\n"UseDefaultIP"=dword:00000001\n"DefaultIP"="127.0.0.2"\n\n'
    printf '[Log]\n"FileName"="%s/qlm.log"\n"Enable"=dword:00000001\n"MaxLines"=dword:000f4240\n\n' "$dir"
    printf '[Daemons\\127.0.0.2:5300]\n"Name"="DNS"\n"DefaultPort"=dword:00000035\n'
    printf '"Enable"=hex:01\n"Security"=hex:00\n"Forward"=hex:%02x\n"Broadcast"=hex:00\n' "$1"
    printf '"TTL"=dword:00000258\n\n'
    [ -n "$2" ] && printf '[Daemons\\127.0.0.2:5300\\%s]\n\n' "$2"
    port=6000
    for daemon in HTTP SOCKS FTP Telnet RealAudio Email; do
      port=$((port + 1))
      printf '[Daemons\\127.0.0.2:%d]\n"Name"="%s"\n"Enable"=hex:00\n"Security"=hex:00\n\n' "$port" "$daemon"
    done
  } > "$dir/store.txt"
  export QUILLMAR_STORE="$dir/q.db" QUILLMAR_RUNDIR="$dir/run"
  "$build/bin/qlmreg" init "$build/bin" >/dev/null
  "$build/bin/qlmreg" import "$dir/store.txt" >/dev/null
  # Not through in_ns: $! must be the engine itself (ip execs it).
  ip netns exec "$ns" "$build/bin/qlmsvr" -debug >"$dir/out" 2>&1 &
  engine_pid=$!
  pids+=("$engine_pid")
  wait_dns 127.0.0.2 5300
}
stop_engine() { kill "$engine_pid"; wait "$engine_pid" 2>/dev/null || true; }

wait_dns() {
  for _ in $(seq 1 100); do
    [ -n "$(in_ns dig @"$1" -p "$2" -b 127.0.0.9 +time=1 +tries=1 +short host1.office 2>/dev/null)" ] &&
      return 0
    sleep 0.1
  done
  echo "dns_bench: no DNS server answers on $1:$2" >&2
  exit 1
}

# dnsperf from 127.0.0.9 (a query from the engine's own 127.0.0.1 is dropped).
perf() {  # server port label work row-server
  in_ns dnsperf -s "$1" -p "$2" -a 127.0.0.9 -d "$work/queries" -l "$seconds" -c 10 -t 2 2>&1 |
    awk -v label="$3" '/Queries per second/ {qps=$4} /Queries lost/ {lost=$3 " " $4}
                       /Response codes/ {sub(/.*Response codes: */, ""); codes=$0}
                       END {printf "%-36s %10.0f q/s   lost %s   %s\n", label, qps, lost, codes;
                            printf "@row|%s|%s|%.0f|q/s\n", work, server, qps}' \
        work="$4" server="$5"
}

# The upstream of the relayed runs.
ip netns exec "$ns" dnsmasq -k --no-resolv --no-hosts --addn-hosts="$work/names" --listen-address=127.0.0.53 \
  --bind-interfaces --port=53 --cache-size=10000 >/dev/null 2>&1 &
pids+=($!)
wait_dns 127.0.0.53 53

echo "DNS relay, $seconds s per run, 10 dnsperf clients, $names names"
start_engine 0 ""
perf 127.0.0.2 5300 "qlmsvr local answers" "DNS local answers" qlmsvr
stop_engine
ip netns exec "$ns" dnsmasq -k --no-resolv --no-hosts --addn-hosts="$work/names" --listen-address=127.0.0.3 \
  --bind-interfaces --port=5300 --cache-size=10000 >/dev/null 2>&1 &
pids+=($!)
wait_dns 127.0.0.3 5300
perf 127.0.0.3 5300 "dnsmasq local answers (hosts file)" "DNS local answers" dnsmasq

start_engine 1 127.0.0.53
perf 127.0.0.2 5300 "qlmsvr relayed" "DNS relayed" qlmsvr
stop_engine
ip netns exec "$ns" dnsmasq -k --no-resolv --no-hosts --server=127.0.0.53 --listen-address=127.0.0.4 \
  --bind-interfaces --port=5300 --cache-size=0 >/dev/null 2>&1 &
pids+=($!)
wait_dns 127.0.0.4 5300
perf 127.0.0.4 5300 "dnsmasq relayed (cache off)" "DNS relayed" dnsmasq

# Workers waiting on a silent server (127.0.0.99: nobody listens).
start_engine 1 127.0.0.99
status() { awk -v k="$1" '$1 == k":" {print $2}' "/proc/$engine_pid/status"; }
rss_before=$(status VmRSS)
threads_before=$(status Threads)
in_ns python3 - "$hold" <<'PY'
import socket, struct, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.9", 0))
for i in range(int(sys.argv[1])):
    q = struct.pack(">HBBHHHH", i, 1, 0, 1, 0, 0, 0) + b"\x04wait\x06office\x00\x00\x01\x00\x01"
    s.sendto(q, ("127.0.0.2", 5300))
    time.sleep(0.0005)
PY
for _ in $(seq 1 100); do
  [ "$(status Threads)" -ge $((threads_before + hold)) ] && break
  sleep 0.1
done
rss_after=$(status VmRSS)
threads_after=$(status Threads)
echo "qlmsvr with $((threads_after - threads_before)) waiting workers:" \
  "RSS $rss_before -> $rss_after kB," \
  "$(( (rss_after - rss_before) / (threads_after - threads_before > 0 ? threads_after - threads_before : 1) )) kB each"
stop_engine
