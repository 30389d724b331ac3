#!/usr/bin/env bash
# DHCP server benchmark: DISCOVER-to-ACK exchanges per second for 200
# clients (20 at a time), Quillmar's DHCP daemon beside dnsmasq serving the
# same range, each in the same set-up: a network namespace of its own joined
# by a veth pair to the clients' namespace. VerifyIP is off and dnsmasq runs
# with --no-ping, so neither waits for echo replies.
# Usage: dhcp_bench.sh [BUILD] ; env CLIENTS (default 200), WINDOW (default 20).
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/../.." && pwd)
clients=${CLIENTS:-200}
window=${WINDOW:-20}
tag=$$
srv=qlm-dbs-$tag
cli=qlm-dbc-$tag
work=$(mktemp -d /tmp/qlm-dhcp-bench-XXXXXX)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  ip netns del "$cli" 2>/dev/null || true
  ip netns del "$srv" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A fresh pair of namespaces for each server, so no lease of one is seen by
# the other.
network() {
  ip netns del "$cli" 2>/dev/null || true
  ip netns del "$srv" 2>/dev/null || true
  ip netns add "$srv"
  ip netns add "$cli"
  ip link add "bs$tag" netns "$srv" type veth peer name "bc$tag" netns "$cli"
  ip -n "$srv" addr add 10.250.8.1/24 dev "bs$tag"
  ip -n "$srv" link set "bs$tag" up
  ip -n "$srv" link set lo up
  ip -n "$cli" link set "bc$tag" up
  ip -n "$cli" link set lo up
}

measure() {
  ip netns exec "$cli" python3 "$root/bench/dhcp/dhcp_bench_client.py" "bc$tag" "$clients" \
    "$window" "$root/tests/e2e/dhcp"
}

wait_bound() {
  for _ in $(seq 1 100); do
    ip netns exec "$srv" grep -q ':0043 ' /proc/net/udp && return 0
    sleep 0.1
  done
  echo "dhcp_bench: nothing listens on port 67" >&2
  return 1
}

network
dword() { printf 'dword:%08x' "$1"; }
env_store=(QUILLMAR_STORE="$work/quillmar.db" QUILLMAR_RUNDIR="$work/run"
           QUILLMAR_MANAGER_PORT=20999)
{
  printf '[General]\n"UseDefaultIP"=%s\n"DefaultIP"="10.250.8.1"\n\n' "$(dword 1)"
  printf '[Daemons\\10.250.8.1:67]\n"Name"="DHCP"\n"DefaultPort"=%s\n"Enable"=hex:01\n' "$(dword 67)"
  printf '"FromAddr"="10.250.8.10"\n"ToAddr"="10.250.8.250"\n"Netmask"="255.255.255.0"\n'
  printf '"LeasingTime"=%s\n"VerifyIP"=hex:00\n\n' "$(dword 86400)"
  port=21000
  for name in DNS HTTP SOCKS FTP Telnet RealAudio Email; do
    printf '[Daemons\\10.250.8.1:%s]\n"Name"="%s"\n"Enable"=hex:00\n\n' "$port" "$name"
    port=$((port + 1))
  done
} > "$work/store.reg"
env "${env_store[@]}" "$build/bin/qlmreg" init "$work" >/dev/null
env "${env_store[@]}" "$build/bin/qlmreg" import "$work/store.reg" >/dev/null
env "${env_store[@]}" ip netns exec "$srv" "$build/bin/qlmsvr" -debug >/dev/null 2>&1 &
pid=$!
wait_bound
result=$(measure)
echo "quillmar: $result"
echo "@row|DHCP DISCOVER-OFFER-REQUEST-ACK|qlmsvr|$(awk '{print $(NF-1)}' <<<"$result")|exchanges/s"
kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""

network
ip netns exec "$srv" dnsmasq -k --port=0 --no-ping --interface="bs$tag" --bind-interfaces \
  --dhcp-range=10.250.8.10,10.250.8.250,255.255.255.0,86400 \
  --dhcp-leasefile="$work/dnsmasq.leases" --pid-file="$work/dnsmasq.pid" >/dev/null 2>&1 &
pid=$!
wait_bound
result=$(measure)
echo "dnsmasq:  $result"
echo "@row|DHCP DISCOVER-OFFER-REQUEST-ACK|dnsmasq|$(awk '{print $(NF-1)}' <<<"$result")|exchanges/s"
