#!/usr/bin/env bash
# The system packages the project needs, in named sets; installs only what is missing, as root
# through apt-get, otherwise through sudo.
#   install-deps.sh [run]    building and running the program, and the demo (./run.sh)
#   install-deps.sh package  run, and building the Debian package (cpack -G DEB)
#   install-deps.sh test     package, and the tests with the servers they start and the package
#                            checks (./test.sh)
#   install-deps.sh fuzz     run, and the fuzz targets built with clang (./fuzz.sh)
#   install-deps.sh bench    test, and the benchmarks with their measurement scripts
#   install-deps.sh cross-arm64
#                            test, and the arm64 cross build with its tests under the emulator
#                            (scripts/cross-arm64.sh): adds the arm64 architecture to dpkg
set -euo pipefail

# Compiler and build tools, Qt with the headers its CMake files look for, the glyphs the
# terminal pane draws with, rsvg-convert for the icons rendered at build time, libudev for
# watching serial adapters come and go, Qt's translation tools (lupdate, lrelease and their
# CMake functions) with the toolkit's own translations, and a font with Japanese glyphs.
RUN=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libxkbcommon-dev
  fonts-dejavu-core librsvg2-bin libudev-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  fonts-noto-cjk)
# cpack's dependency scan (dpkg-shlibdeps) and its file type check.
PACKAGE=(dpkg-dev file)
# The test framework; the fuzz build configures the tests too.
GTEST=(libgtest-dev libgmock-dev)
# What the tests start or read: telnetd behind socat, the SOCKS servers dante and microsocks,
# unshare for a private network, the services file; pgrep for the check below; the package
# checks' validators and man; a private session bus for the remote-control tests; an X server
# (Xvfb) and a headless Wayland compositor (weston, with the toolkit's Wayland plugin) of the
# tests' own, for windows on real window systems and screens of a given size; umockdev's test
# bed (its preload, and its library for the test program) for uevents to libudev's monitor;
# for the accessibility test the accessibility bus and registry, the Python client that walks
# the program's accessible tree, and dbus-run-session (package dbus).
TEST=(socat inetutils-telnetd util-linux netbase procps dante-server microsocks
  desktop-file-utils appstream man-db groff-base dbus-daemon xvfb weston qt6-wayland xauth
  umockdev libumockdev-dev at-spi2-core python3-pyatspi dbus)
# clang with libFuzzer and its sanitizer runtimes.
FUZZ=(clang libclang-rt-14-dev)
# Google Benchmark, libvterm and libtsm for the terminal comparison, strace for the close-time
# script and system-call counts, linux-perf for the sampled profiles in docs/RESULTS.md.
BENCH=(libbenchmark-dev libvterm-dev libtsm-dev strace linux-perf)
# The arm64 cross build: Debian's cross compilers, the user-mode emulator (registered with
# binfmt_misc where the machine allows) and the arm64 libraries with their headers beside the
# native Qt, whose host tools (moc, rcc, the CMake helpers) the cross build runs.
CROSS_ARM64=(crossbuild-essential-arm64 qemu-user qemu-user-binfmt pkgconf:arm64
  qt6-base-dev:arm64 libgl-dev:arm64 libxkbcommon-dev:arm64 libudev-dev:arm64 libgtest-dev:arm64
  libgmock-dev:arm64)

servers=0  # whether the set holds the test servers
case "${1:-run}" in
  run) WANT=("${RUN[@]}") ;;
  package) WANT=("${RUN[@]}" "${PACKAGE[@]}") ;;
  test) WANT=("${RUN[@]}" "${PACKAGE[@]}" "${GTEST[@]}" "${TEST[@]}"); servers=1 ;;
  fuzz) WANT=("${RUN[@]}" "${GTEST[@]}" "${FUZZ[@]}") ;;
  bench) WANT=("${RUN[@]}" "${PACKAGE[@]}" "${GTEST[@]}" "${TEST[@]}" "${BENCH[@]}"); servers=1 ;;
  cross-arm64) WANT=("${RUN[@]}" "${PACKAGE[@]}" "${GTEST[@]}" "${TEST[@]}" "${CROSS_ARM64[@]}"); servers=1 ;;
  *) echo "usage: $0 [run|package|test|fuzz|bench|cross-arm64]" >&2; exit 2 ;;
esac
foreign=()  # architectures the set needs dpkg to know besides the native one
for p in "${WANT[@]}"; do
  case "$p" in *:*) [[ " ${foreign[*]} " == *" ${p#*:} "* ]] || foreign+=("${p#*:}") ;; esac
done

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${WANT[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

# --- Another package manager at work ------------------------------------------------------
# apt-get waits for dpkg's lock by itself with DPkg::Lock::Timeout, but `apt-get update` does
# not wait for the lists lock, and neither says what it waits for: the kernel's table of file
# locks (readable by anyone) tells who holds them.
LOCK_WAIT=300
APT=(apt-get -o "DPkg::Lock::Timeout=$LOCK_WAIT")

# "PID FILE" for each apt or dpkg lock held by a process.
lock_holders() {
  local f dev id
  for f in /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock; do
    [ -e "$f" ] || continue
    # /proc/locks names a file as major:minor:inode, the device numbers in hex.
    dev=$(stat -c %d "$f")
    id=$(printf '%02x:%02x:%s' $(((dev >> 8) & 0xfff)) $(((dev & 0xff) | ((dev >> 12) & 0xfff00))) "$(stat -c %i "$f")")
    # A line with "->" is a process waiting for the lock, not holding it.
    awk -v id="$id" -v f="$f" '$2 != "->" && $6 == id { print $5, f }' /proc/locks
  done
}

wait_for_locks() {
  local held waited=0 pid file
  while held=$(lock_holders) && [ -n "$held" ]; do
    if [ "$waited" -eq 0 ]; then
      while read -r pid file; do
        echo "install-deps: $file is held by process $pid ($(ps -o args= -p "$pid" 2>/dev/null | cut -c1-80 || true));" \
          "waiting up to ${LOCK_WAIT}s for it to finish" >&2
      done <<<"$held"
    elif [ "$waited" -ge "$LOCK_WAIT" ]; then
      echo "install-deps: still held after ${LOCK_WAIT}s; giving up" >&2
      return 1
    fi
    sleep 2
    waited=$((waited + 2))
  done
  if [ "$waited" -gt 0 ]; then echo "install-deps: the lock was released after about ${waited}s" >&2; fi
}

# --- No test server as a service ----------------------------------------------------------
# The tests start their own servers on loopback ports and stop them again. Installed as
# packages, dante starts and enables its daemon, and telnetd brings an inetd and, where no
# system log daemon is installed, a syslogd that do the same. Those this run installs must not
# run, now or after a reboot: while installing, a temporary policy-rc.d refuses to start them
# (one the administrator put in place is left as it is); afterwards they are stopped and
# disabled. Services of packages that were there before are not touched.
declare -A SERVICE_OF=([dante-server]=danted [inetutils-inetd]=inetutils-inetd [inetutils-syslogd]=inetutils-syslogd)
declare -A PROCESS_OF=([danted]=danted [inetutils-inetd]=inetutils-inetd [inetutils-syslogd]=syslogd)
new_packages=() new_services=()
if [ "$servers" -eq 1 ]; then
  for pkg in "${!SERVICE_OF[@]}"; do
    if ! installed "$pkg"; then
      new_packages+=("$pkg")
      new_services+=("${SERVICE_OF[$pkg]}")
    fi
  done
fi

POLICY=/usr/sbin/policy-rc.d
policy_ours=0
remove_policy() {
  if [ "$policy_ours" -eq 1 ]; then "${SUDO[@]}" rm -f "$POLICY"; fi
}
echo "Installing: ${missing[*]}"
if [ ${#new_services[@]} -gt 0 ] && [ ! -e "$POLICY" ]; then
  trap remove_policy EXIT
  trap 'exit 1' INT TERM HUP
  policy_ours=1
  "${SUDO[@]}" tee "$POLICY" >/dev/null <<EOF
#!/bin/sh
# Written by the QUILL-2 Controller's install-deps.sh for the length of its install, then
# removed: the test servers are not to run as services.
[ "\$1" = --quiet ] && shift
case "\${1%.service}" in
  $(IFS='|'; echo "${new_services[*]}")) exit 101 ;;
esac
exit 0
EOF
  "${SUDO[@]}" chmod 755 "$POLICY"
fi

wait_for_locks
for a in "${foreign[@]}"; do
  if ! dpkg --print-foreign-architectures | grep -qx "$a"; then
    echo "install-deps: adding the $a architecture to dpkg"
    "${SUDO[@]}" dpkg --add-architecture "$a"
  fi
done
"${SUDO[@]}" "${APT[@]}" update
wait_for_locks
"${SUDO[@]}" "${APT[@]}" install -y --no-install-recommends "${missing[@]}"

disabled=()
for pkg in "${new_packages[@]}"; do
  installed "$pkg" || continue  # not pulled in
  s=${SERVICE_OF[$pkg]}
  if [ -d /run/systemd/system ]; then
    "${SUDO[@]}" systemctl disable --now "$s" >/dev/null 2>&1 || true
  else
    "${SUDO[@]}" update-rc.d "$s" disable >/dev/null 2>&1 || true
    if pgrep -x "${PROCESS_OF[$s]}" >/dev/null; then "${SUDO[@]}" "/etc/init.d/$s" stop >/dev/null 2>&1 || true; fi
  fi
  disabled+=("$s")
done
remove_policy
policy_ours=0

if [ "$servers" -eq 1 ]; then
  [ ${#disabled[@]} -eq 0 ] || echo "install-deps: disabled the services this install brought (the tests start their own servers): ${disabled[*]}"
  processes=(danted microsocks inetutils-inetd telnetd)
  for s in "${disabled[@]}"; do
    [[ " ${processes[*]} " == *" ${PROCESS_OF[$s]} "* ]] || processes+=("${PROCESS_OF[$s]}")
  done
  running=()
  for p in "${processes[@]}"; do
    if pgrep -x "$p" >/dev/null; then running+=("$p"); fi
  done
  if [ ${#running[@]} -eq 0 ]; then
    echo "install-deps: no test server is running (checked: ${processes[*]})"
  else
    echo "install-deps: warning: running now: ${running[*]}" >&2
  fi
fi
