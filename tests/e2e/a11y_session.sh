#!/usr/bin/env bash
# Runs a command where a screen reader would see the program: a private session bus, a virtual
# X server, the accessibility bus and its registry, and Qt told to bridge to them.
#   a11y_session.sh COMMAND [ARG...]
# Everything started here is in this script's own process group and ends with it; the exit
# status is the command's. Exit 77 (skipped) when a needed program is missing.
set -euo pipefail

if [ -z "${QUILL_A11Y_INNER:-}" ]; then
  for p in dbus-run-session Xvfb /usr/libexec/at-spi-bus-launcher /usr/libexec/at-spi2-registryd; do
    command -v "$p" >/dev/null || { echo "a11y_session: $p is missing (scripts/install-deps.sh test)" >&2; exit 77; }
  done
  # A process group of its own, so that nothing started below outlives the run; the X server
  # is tests/with-xvfb.sh's.
  exec setsid env QUILL_A11Y_INNER=1 dbus-run-session -- \
    bash "$(dirname "$0")/../with-xvfb.sh" 1024x768 "$0" "$@"
fi

pids=()
finish() {
  local status=$?
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  exit "$status"
}
trap finish EXIT INT TERM

# Wait (at most Seconds) until the command succeeds.
wait_for() {
  local seconds=$1; shift
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || { echo "a11y_session: timed out waiting for: $*" >&2; return 1; }
    sleep 0.1
  done
}

/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
# Asked without activating a second launcher through the bus's service file.
wait_for 30 sh -c 'dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
  org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus | grep -q "boolean true"'
/usr/libexec/at-spi2-registryd >/dev/null 2>&1 &
pids+=($!)

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$@"
