#!/usr/bin/env bash
# FTP benchmark: RETR throughput of one large file from a pyftpdlib server,
# read by curl in active mode directly, through Quillmar's FTP proxy (qlmsvr,
# log-on as user@host) and through Debian's ftp-proxy (proxy-suite, same
# log-on); and the same file as an ftp URL through Quillmar's HTTP proxy
# (its FTP gateway) and through squid's FTP gateway. All on 127.0.0.0/8, one
# run each, side by side. Needs root (the FTP server's port 21 and data port
# 20, the proxy's data port 20).
# Usage: ftp_bench.sh [BUILD] ; env MIB (file size, default 1024).
set -euo pipefail
build=${1:-build}
mib=${MIB:-1024}
for program in "$build/bin/qlmsvr" "$build/bin/qlmreg"; do
  [ -x "$program" ] || { echo "ftp_bench: $program not built" >&2; exit 1; }
done
root=$(cd "$(dirname "$0")/../.." && pwd)
server_ip=127.0.0.132
engine_ip=127.0.0.131
suite_ip=127.0.0.133
squid_ip=127.0.0.134
user=alice
password=secret

work=$(mktemp -d /tmp/qlm-ftp-bench-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket,sys; s=socket.socket(); s.bind((sys.argv[1],0)); print(s.getsockname()[1])' "$1"
}
wait_port() {  # ip port
  for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "ftp_bench: nothing listens on $1:$2" >&2
  return 1
}

mkdir -p "$work/root"
head -c "$((mib * 1024 * 1024))" /dev/urandom > "$work/root/big.bin"
/usr/bin/python3 "$root/tests/e2e/ftp/ftp_server.py" --address "$server_ip" --port 21 \
  --root "$work/root" --user "$user" --password "$password" > "$work/server.out" 2>&1 &
pids+=($!)

# The engine with an FTP and an HTTP daemon, from a store of its own.
ftp_port=$(free_port "$engine_ip")
http_port=$(free_port "$engine_ip")
dword() { printf 'dword:%08x' "$1"; }
store_env=(QUILLMAR_STORE="$work/quillmar.db" QUILLMAR_RUNDIR="$work/run"
           QUILLMAR_MANAGER_PORT="$(free_port "$engine_ip")")
{
  printf '[General]\n"UseDefaultIP"=%s\n"DefaultIP"="%s"\n\n' "$(dword 1)" "$engine_ip"
  printf '[Activity]\n"Enable"=%s\n\n' "$(dword 0)"
  printf '[Log]\n"FileName"="%s"\n"Enable"=%s\n\n' "$work/engine.log" "$(dword 0)"
  for name in DNS HTTP SOCKS FTP Telnet RealAudio Email; do
    case $name in
      FTP) port=$ftp_port; enable=01 ;;
      HTTP) port=$http_port; enable=01 ;;
      *) port=$(free_port "$engine_ip"); enable=00 ;;
    esac
    printf '[Daemons\\%s:%s]\n"Name"="%s"\n"DefaultPort"=%s\n"Enable"=hex:%s\n"Security"=hex:00\n\n' \
      "$engine_ip" "$port" "$name" "$(dword "$port")" "$enable"
  done
} > "$work/store.txt"
env "${store_env[@]}" "$build/bin/qlmreg" init "$work" > /dev/null
env "${store_env[@]}" "$build/bin/qlmreg" import - < "$work/store.txt" > /dev/null
env "${store_env[@]}" "$build/bin/qlmsvr" -debug > "$work/engine.out" 2>&1 &
pids+=($!)

# Debian's ftp-proxy (proxy-suite) in the foreground, user@host log-on.
suite_port=""
if command -v ftp-proxy > /dev/null; then
  suite_port=$(free_port "$suite_ip")
  cat > "$work/ftp-proxy.conf" <<CONF
[-Global-]
Listen $suite_ip
Port $suite_port
ServerType standalone
PidFile $work/ftp-proxy.pid
UseMagicChar @
AllowMagicUser yes
ActiveMinDataPort 40000
ActiveMaxDataPort 40999
PassiveMinDataPort 41000
PassiveMaxDataPort 41999
LogDestination $work/ftp-proxy.log
LogLevel ERR
CONF
  ftp-proxy -n -f "$work/ftp-proxy.conf" > "$work/ftp-proxy.out" 2>&1 &
  pids+=($!)
fi

# squid with its FTP gateway.
squid_port=$(free_port "$squid_ip")
cat > "$work/squid.conf" <<CONF
http_port $squid_ip:$squid_port
http_access allow all
cache deny all
cache_dir null /tmp
access_log none
cache_log $work/squid-cache.log
pid_filename $work/squid.pid
coredump_dir $work
ftp_passive on
CONF
squid -N -f "$work/squid.conf" > "$work/squid.out" 2>&1 &
pids+=($!)

wait_port "$server_ip" 21; wait_port "$engine_ip" "$ftp_port"; wait_port "$engine_ip" "$http_port"
wait_port "$squid_ip" "$squid_port"
[ -z "$suite_port" ] || wait_port "$suite_ip" "$suite_port"

# MiB/s of one curl download; the file is compared by size.
fetch() {
  local out bytes seconds
  out=$(curl -sS --max-time 600 -o "$work/got.bin" -w '%{size_download} %{time_total}' "$@")
  read -r bytes seconds <<<"$out"
  [ "$bytes" = "$(stat -c %s "$work/root/big.bin")" ] || { echo "short ($bytes bytes)"; return; }
  python3 -c 'import sys; print("%.0f" % (int(sys.argv[1]) / 1048576 / float(sys.argv[2])))' \
    "$bytes" "$seconds"
}
active=(-P 127.0.0.1 --disable-eprt)

row() {  # label server value
  printf '%-28s %10s\n' "$1" "$3"
  printf '@row|%s|%s|%s|%s\n' "FTP $mib MiB RETR" "$2" "$3" "MiB/s"
}
printf '%-28s %10s\n' "path ($mib MiB RETR)" "MiB/s"
row "direct (active)" direct "$(fetch "${active[@]}" "ftp://$user:$password@$server_ip/big.bin")"
row "qlmsvr FTP proxy (active)" "qlmsvr FTP" \
  "$(fetch "${active[@]}" --user "$user@$server_ip:$password" "ftp://$engine_ip:$ftp_port/big.bin")"
if [ -n "$suite_port" ]; then
  row "ftp-proxy (active)" ftp-proxy \
    "$(fetch "${active[@]}" --user "$user@$server_ip:$password" "ftp://$suite_ip:$suite_port/big.bin")"
fi
row "qlmsvr HTTP FTP gateway" "qlmsvr gateway" \
  "$(fetch -x "http://$engine_ip:$http_port" "ftp://$user:$password@$server_ip/big.bin")"
row "squid FTP gateway" "squid gateway" \
  "$(fetch -x "http://$squid_ip:$squid_port" "ftp://$user:$password@$server_ip/big.bin")"
