#!/usr/bin/env bash
# E-mail benchmark: POP3 RETR of one large message (MIB MiB, default 100)
# from a python POP3 server, read directly, through Quillmar's e-mail proxy
# (qlmsvr, USER user#host) and through Debian's perdition when it is
# installed. All on 127.0.0.0/8, one run each, side by side.
# Usage: mail_bench.sh [BUILD] ; env MIB.
set -euo pipefail
build=${1:-build}
mib=${MIB:-100}
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/bench/support/engine.sh"
python=/usr/bin/python3
tool="$root/bench/mail/mail_bench.py"

work=$(mktemp -d /tmp/qlm-mail-bench-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

server_port=$(bench_free_port)
"$python" "$tool" server 127.0.0.1 "$server_port" "$mib" > "$work/server.out" 2>&1 &
pids+=($!)
bench_wait_port "$server_port"

proxy_port=$(bench_free_port)
# The engine with the Email daemon only, its POP3 servers on the bench
# server's port, logging off.
dword() { printf 'dword:%08x' "$1"; }
{
  printf '[General]\n"UseDefaultIP"=%s\n"DefaultIP"="127.0.0.1"\n\n' "$(dword 1)"
  printf '[Activity]\n"Enable"=%s\n\n' "$(dword 0)"
  printf '[Log]\n"FileName"="%s"\n"Enable"=%s\n\n' "$work/engine.log" "$(dword 0)"
  for name in DNS HTTP SOCKS FTP Telnet RealAudio Email; do
    if [ "$name" = Email ]; then port=$proxy_port; enable=01; else port=$(bench_free_port); enable=00; fi
    printf '[Daemons\\127.0.0.1:%s]\n"Name"="%s"\n"DefaultPort"=%s\n"Enable"=hex:%s\n' \
      "$port" "$name" "$(dword "$port")" "$enable"
    if [ "$name" = Email ]; then
      printf '"Pop3Port"=%s\n"Pop3Delimiter"="#"\n"SmtpProxyPort"=%s\n' "$(dword "$server_port")" "$(dword 25)"
    fi
    printf '\n'
  done
} > "$work/store.txt"
store_env=(QUILLMAR_STORE="$work/quillmar.db" QUILLMAR_RUNDIR="$work/run"
           QUILLMAR_MANAGER_PORT="$(bench_free_port)")
env "${store_env[@]}" "$build/bin/qlmreg" init "$build/bin" > /dev/null
env "${store_env[@]}" "$build/bin/qlmreg" import - < "$work/store.txt" > /dev/null
env "${store_env[@]}" "$build/bin/qlmsvr" -debug > "$work/engine.out" 2>&1 &
pids+=($!)
bench_wait_port "$proxy_port"

row() {  # label server bytes seconds MiB/s
  printf '%-22s %12s %9s %9s\n' "$1" "$3" "$4" "$5"
  printf '@row|%s|%s|%s|%s\n' "POP3 RETR" "$2" "$5" "MiB/s"
}
printf '%-22s %12s %9s %9s\n' "path" "bytes" "seconds" "MiB/s"
# shellcheck disable=SC2046
row "direct" direct $("$python" "$tool" retr 127.0.0.1 "$server_port" alice)
# shellcheck disable=SC2046
row "quillmar (qlmsvr)" qlmsvr $("$python" "$tool" retr 127.0.0.1 "$proxy_port" "alice#127.0.0.1")

if command -v perdition.pop3 > /dev/null || command -v perdition > /dev/null; then
  perdition_port=$(bench_free_port)
  perdition=$(command -v perdition.pop3 || command -v perdition)
  # No user map: every user goes to the one outgoing server.
  "$perdition" --protocol POP3 --no_daemon --no_lookup --bind_address 127.0.0.1 \
    --listen_port "$perdition_port" --outgoing_server 127.0.0.1 \
    --outgoing_port "$server_port" --map_library "" --pid_file "" \
    > "$work/perdition.out" 2>&1 &
  pids+=($!)
  if bench_wait_port "$perdition_port"; then
    # shellcheck disable=SC2046
    row "perdition" perdition $("$python" "$tool" retr 127.0.0.1 "$perdition_port" alice)
  else
    echo "perdition did not start: $(head -3 "$work/perdition.out")"
  fi
else
  echo "perdition: not installed (apt-get install perdition), not measured"
fi
