#!/usr/bin/env bash
# Runs a command on a private X server of its own (Xvfb) with one screen of the given size,
# on the toolkit's X platform:  with-xvfb.sh WIDTHxHEIGHT COMMAND [ARGS...]
# The server picks a free display number and says it when it is ready; it ends with the command.
set -euo pipefail
size=$1
shift
tmp=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
mkfifo "$tmp/ready"
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$tmp/ready" 2>"$tmp/log" &
server=$!
if ! read -r -t 60 number <"$tmp/ready" || [ -z "$number" ]; then
  echo "with-xvfb: the X server did not start:" >&2
  cat "$tmp/log" >&2
  exit 1
fi
export DISPLAY=":$number" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
"$@"
