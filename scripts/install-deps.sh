#!/usr/bin/env bash
# The one list of system packages the project needs, for building, testing, packaging and the
# demo.
# Installs only what is missing; as root through apt-get, otherwise through sudo.
# `install-deps.sh fuzz` adds what fuzz.sh needs (clang with libFuzzer and its sanitizer
# runtimes), which the ordinary build and the tests do not.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libxkbcommon-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-dejavu-core
  libvterm-dev
  socat inetutils-telnetd util-linux iproute2 procps netbase strace
  librsvg2-bin
  desktop-file-utils appstream man-db groff-base dpkg-dev file
  dante-server microsocks
  dbus-daemon
)

FUZZ_PACKAGES=(clang libclang-rt-14-dev)

case "${1:-}" in
  "") ;;
  fuzz) PACKAGES+=("${FUZZ_PACKAGES[@]}") ;;
  *) echo "usage: $0 [fuzz]" >&2; exit 2 ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update
"${SUDO[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
