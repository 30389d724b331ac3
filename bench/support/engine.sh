# Sourced by the benchmark scripts: free ports, waiting for a listener, and
# the engine itself (qlmsvr) started from a store of its own with one daemon
# enabled, so every benchmark measures what a user runs.
#
#   bench_free_port                      prints a free TCP port on 127.0.0.1
#   bench_wait_port PORT                 waits up to 10 s for a listener
#   bench_start_engine BUILD WORK NAME PORT [EXTRA_STORE_TEXT]
#        writes WORK/quillmar.db with daemon NAME on 127.0.0.1:PORT (the other
#        basic daemons disabled on free ports, logging off, MaxConnections
#        5000, plus any extra store text, e.g. port mappings), starts
#        BUILD/bin/qlmsvr -debug in the background and sets ENGINE_PID; the
#        caller kills it. NAME "-" enables no daemon.
#   bench_row WORK SERVER VALUE UNIT     one figure for `make bench`'s table
#                                        (WORK groups the servers compared;
#                                        SERVER "direct" is the baseline)
#   bench_cpu_seconds PID...             CPU seconds these processes used so far
#   bench_rss_kib PID                    resident memory of PID in KiB

bench_free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

bench_wait_port() {
  for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "bench: nothing listens on port $1" >&2
  return 1
}

bench_start_engine() {
  local build=$1 work=$2 daemon=$3 daemon_port=$4 extra=${5:-} name port enable
  for program in qlmsvr qlmreg; do
    [ -x "$build/bin/$program" ] || { echo "bench: $build/bin/$program is not built" >&2; return 1; }
  done
  dword() { printf 'dword:%08x' "$1"; }
  local store_env=(QUILLMAR_STORE="$work/quillmar.db" QUILLMAR_RUNDIR="$work/run"
                   QUILLMAR_MANAGER_PORT="$(bench_free_port)")
  {
    printf '[General]\n"UseDefaultIP"=%s\n"DefaultIP"="127.0.0.1"\n\n' "$(dword 1)"
    printf '[Activity]\n"Enable"=%s\n"MaxConnections"=%s\n\n' "$(dword 0)" "$(dword 5000)"
    printf '[Log]\n"FileName"="%s"\n"Enable"=%s\n\n' "$work/engine.log" "$(dword 0)"
    for name in DNS HTTP SOCKS FTP Telnet RealAudio Email; do
      if [ "$name" = "$daemon" ]; then port=$daemon_port; enable=01; else port=$(bench_free_port); enable=00; fi
      printf '[Daemons\\127.0.0.1:%s]\n"Name"="%s"\n"DefaultPort"=%s\n"Enable"=hex:%s\n\n' \
        "$port" "$name" "$(dword "$port")" "$enable"
    done
    printf '%s\n' "$extra"
  } > "$work/store.txt"
  env "${store_env[@]}" "$build/bin/qlmreg" init "$build/bin" > /dev/null
  env "${store_env[@]}" "$build/bin/qlmreg" import - < "$work/store.txt" > /dev/null
  env "${store_env[@]}" "$build/bin/qlmsvr" -debug > "$work/engine.out" 2>&1 &
  ENGINE_PID=$!
}

bench_row() {
  printf '@row|%s|%s|%s|%s\n' "$1" "$2" "$3" "$4"
}

bench_cpu_seconds() {
  local total=0 ticks
  for pid in "$@"; do
    # utime + stime: fields 14 and 15, counted after the ")" that ends comm.
    ticks=$(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null | awk '{print $12 + $13}') || ticks=0
    total=$((total + ${ticks:-0}))
  done
  awk -v t="$total" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.3f", t / hz}'
}

bench_rss_kib() {
  awk '/VmRSS/ {print $2}' "/proc/$1/status"
}
