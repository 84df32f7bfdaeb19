#!/usr/bin/env bash
# Starts the simulated device on loopback and the program pointed at it, with a settings file
# of its own (build/demo/quill.ini, kept between runs so renames and the window place stay).
set -euo pipefail
cd "$(dirname "$0")/.."
port="${QUILL_DEMO_PORT:-5495}"
mkdir -p build/demo
ini=build/demo/quill.ini
if [ ! -f "$ini" ]; then
  printf '[Comm]\nPort=0\nMode=0\nipAddress=127.0.0.1\nipPort=%s\n' "$port" > "$ini"
else
  # Whatever was changed in the window last time, the demo link points at the simulator.
  sed -i -e 's/^Mode=.*/Mode=0/' -e 's/^ipAddress=.*/ipAddress=127.0.0.1/' -e "s/^ipPort=.*/ipPort=$port/" "$ini"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: set DISPLAY (or run under xvfb-run) to see the windows." >&2
fi
build/bin/quill-sim --port "$port" --walk 15 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
build/bin/quill --settings "$ini" "$@"
