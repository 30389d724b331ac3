#!/usr/bin/env bash
# Port-mapping benchmark: one TCP stream's throughput and the TCP connection
# set-up rate through Quillmar's TCP mapping, rinetd, redir and haproxy (mode
# tcp), and UDP round trips per second through Quillmar's UDP mapping and
# socat, all forwarding to the same local sink on 127.0.0.1, beside the sink
# reached directly, in one run.
# Usage: portmap_bench.sh [BUILD] ; env MIB (stream size, default 1024),
# SECONDS_SETUP (default 5).
set -euo pipefail
build=${1:-build}
mib=${MIB:-1024}
setup_seconds=${SECONDS_SETUP:-5}
here=$(cd "$(dirname "$0")" && pwd)
client="$build/bin/qlm_tcp_bench_client"
[ -x "$client" ] || { echo "portmap_bench: $client not built" >&2; exit 1; }
# shellcheck source=../support/engine.sh
. "$here/../support/engine.sh"

work=$(mktemp -d /tmp/qlm-portmap-bench-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
ulimit -n "$(ulimit -Hn)"

"$client" sink > "$work/sink.ports" &
pids+=($!)
for _ in $(seq 1 50); do [ -s "$work/sink.ports" ] && break; sleep 0.1; done
read -r sink_tcp sink_udp < "$work/sink.ports"

qlm_tcp=$(bench_free_port)
qlm_udp=$(bench_free_port)
mapping() {  # name listen transport remote_port
  printf '[PortMap\\127.0.0.1:%s/%s]\n"Name"="%s"\n"RemoteServer"="127.0.0.1"\n"RemotePort"=dword:%08x\n"Enable"=hex:01\n"BiUDP"=hex:%s\n\n' \
    "$2" "$3" "$1" "$4" "$([ "$3" = udp ] && echo 01 || echo 00)"
}
bench_start_engine "$build" "$work" - 0 \
  "$(mapping benchtcp "$qlm_tcp" tcp "$sink_tcp"; mapping benchudp "$qlm_udp" udp "$sink_udp")"
pids+=("$ENGINE_PID")

rinetd_port=$(bench_free_port)
printf '127.0.0.1 %s 127.0.0.1 %s\n' "$rinetd_port" "$sink_tcp" > "$work/rinetd.conf"
rinetd -f -c "$work/rinetd.conf" > "$work/rinetd.out" 2>&1 &
pids+=($!)

redir_port=$(bench_free_port)
redir -n -l err "127.0.0.1:$redir_port" "127.0.0.1:$sink_tcp" > "$work/redir.out" 2>&1 &
pids+=($!)

haproxy_port=$(bench_free_port)
cat > "$work/haproxy.cfg" <<CONF
global
  maxconn 5000
defaults
  mode tcp
  timeout connect 5s
  timeout client 60s
  timeout server 60s
listen forward
  bind 127.0.0.1:$haproxy_port
  server sink 127.0.0.1:$sink_tcp
CONF
haproxy -db -f "$work/haproxy.cfg" > "$work/haproxy.out" 2>&1 &
pids+=($!)

socat_port=$(bench_free_port)
socat "UDP-LISTEN:$socat_port,bind=127.0.0.1,reuseaddr,fork" "UDP:127.0.0.1:$sink_udp" \
  > "$work/socat.out" 2>&1 &
pids+=($!)

for port in "$qlm_tcp" "$rinetd_port" "$redir_port" "$haproxy_port"; do
  bench_wait_port "$port"
done

printf '%-9s %16s %18s\n' forwarder "stream MiB/s" "connections per s"
for name_port in "direct:$sink_tcp" "qlmsvr:$qlm_tcp" "rinetd:$rinetd_port" \
                 "redir:$redir_port" "haproxy:$haproxy_port"; do
  name=${name_port%%:*}
  port=${name_port#*:}
  mibs=$("$client" throughput "$port" "$mib")
  rate=$("$client" setup "$port" "$setup_seconds")
  printf '%-9s %16s %18s\n' "$name" "$mibs" "$rate"
  printf '@row|%s|%s|%s|%s\n' "TCP mapping stream $mib MiB" "$name" "$mibs" "MiB/s"
  printf '@row|%s|%s|%s|%s\n' "TCP mapping connections" "$name" "${rate%% *}" "per s"
done
printf '\n%-9s %22s\n' forwarder "UDP round trips per s"
for name_port in "direct:$sink_udp" "qlmsvr:$qlm_udp" "socat:$socat_port"; do
  name=${name_port%%:*}
  port=${name_port#*:}
  trips=$("$client" datagrams "$port" "$setup_seconds")
  printf '%-9s %22s\n' "$name" "$trips"
  printf '@row|%s|%s|%s|%s\n' "UDP mapping round trips" "$name" "${trips%% *}" "per s"
done
