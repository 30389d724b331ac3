#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Quillmar
# needs. Quick when everything is already there: apt is only asked when a
# package is missing.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build make pkg-config
  libsqlite3-dev sqlite3
  # the engine tells systemd when it is ready and when it stops (sd_notify)
  libsystemd-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # fuzzing (libFuzzer comes with clang's runtime)
  clang libclang-rt-14-dev
  # real clients, servers and tools the end-to-end tests drive
  curl ncat dnsutils busybox isc-dhcp-client python3 python3-socks python3-pyftpdlib wget iproute2 openssl procps psmisc
  # benchmarks: load tools and the other proxies measured beside ours
  wrk dante-server microsocks squid tinyproxy ftp-proxy rinetd redir haproxy socat perdition
  # the DNS relay's and the DHCP server's: query load and Debian's dnsmasq
  # (the binary only: no service of its own on port 53)
  dnsperf dnsmasq-base
  # a real browser for the HTTP proxy tests
  chromium
  # the manager: Qt 6 Widgets, its platform plugins (xcb, offscreen) and a
  # font; its end-to-end tests run it under a virtual X server
  qt6-base-dev qt6-qpa-plugins fonts-dejavu-core xvfb xauth
  # screenshots of the virtual screen and their colour count
  imagemagick
  # the Debian package (make deb) and its checks: Debian's packaging tools,
  # lintian, systemd-analyze for the unit, setpriv to start the engine as its
  # unit would, polkit's rule folder
  dpkg-dev debhelper fakeroot lintian systemd util-linux passwd adduser
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
