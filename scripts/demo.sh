#!/usr/bin/env bash
# Starts the simulated device and the program pointed at it, with a settings file of its own
# (build/demo/quill.ini, kept between runs so renames and the window place stay).
#   scripts/demo.sh [--serial] [program options]
# By default the device listens on loopback (LAN mode); with --serial it serves a
# pseudo-terminal that the program opens as COM5 (COM/USB mode). The simulator logs the bytes
# it receives in build/demo/sim-received.log.
set -euo pipefail
cd "$(dirname "$0")/.."
serial=0
if [ "${1:-}" = "--serial" ]; then
  serial=1
  shift
fi
port="${QUILL_DEMO_PORT:-5495}"
mkdir -p build/demo
ini=build/demo/quill.ini
if [ ! -f "$ini" ]; then
  printf '[Comm]\nPort=0\nMode=0\nipAddress=127.0.0.1\nipPort=%s\n' "$port" > "$ini"
fi
# Sets KEY=VALUE in the [Comm] section, adding the key when an older file lacks it.
set_comm() {
  if grep -q "^$1=" "$ini"; then
    sed -i "s|^$1=.*|$1=$2|" "$ini"
  elif grep -q '^\[Comm\]' "$ini"; then
    sed -i "/^\[Comm\]/a $1=$2" "$ini"
  else
    printf '[Comm]\n%s=%s\n' "$1" "$2" >> "$ini"
  fi
}
# The pane shows each line the device ends with a carriage return on a line of its own.
set_comm NewLineAfterCR 1
received=build/demo/sim-received.log
# Typed characters reach the device but are not shown in the pane: nothing echoes them on the
# wire, as an echo would reach the link supervisor as text from the device.
say_log() {
  echo "What the simulated device receives (keys typed in the terminal pane included; they are"
  echo "not echoed back to the pane) is logged in $received: tail -f $received"
}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: set DISPLAY (or run under xvfb-run) to see the windows." >&2
fi

if [ "$serial" -eq 1 ]; then
  out=build/demo/sim-pty.out
  : > "$out"
  build/bin/quill-sim --pty --walk 15 --log "$received" < /dev/null > "$out" &
  sim=$!
  trap 'kill "$sim" 2>/dev/null || true' EXIT
  pty=""
  for _ in $(seq 100); do
    pty=$(sed -n 's/^PTY //p' "$out" | head -n 1)
    [ -n "$pty" ] && break
    sleep 0.1
  done
  if [ -z "$pty" ]; then
    echo "The simulated device did not start." >&2
    exit 1
  fi
  # Whatever was changed in the window last time, the demo link is the simulator's terminal.
  set_comm Mode 1
  set_comm Port 5
  echo "Simulated device on $pty, opened as COM5 (COM/USB mode)."
  say_log
  QUILL_COM_MAP="COM5=$pty" build/bin/quill --settings "$ini" "$@"
  exit
fi

# Starts the simulator listening on $1 and waits for it to say where: sets $listening to the
# port, or leaves it empty when the simulator could not listen.
start_lan_sim() {
  : > "$out"
  listening=
  build/bin/quill-sim --port "$1" --walk 15 --log "$received" > "$out" 2> "$out.err" &
  sim=$!
  for _ in $(seq 100); do
    listening=$(sed -n 's/^LISTEN .*:\([0-9]*\)$/\1/p' "$out" | head -n 1)
    [ -n "$listening" ] && return 0
    kill -0 "$sim" 2>/dev/null || return 0
    sleep 0.1
  done
}
out=build/demo/sim-lan.out
trap 'kill "$sim" 2>/dev/null || true' EXIT
sim=
start_lan_sim "$port"
if [ -z "$listening" ] && [ -z "${QUILL_DEMO_PORT:-}" ]; then
  # The usual port is taken (another simulator, say): any free one will do for the demo.
  echo "Port $port is not free ($(cat "$out.err")); the simulated device takes a free port instead." >&2
  start_lan_sim 0
fi
if [ -z "$listening" ]; then
  echo "The simulated device could not listen on port $port: $(cat "$out.err")" >&2
  echo "Free the port or choose another with QUILL_DEMO_PORT=N." >&2
  exit 1
fi
# Whatever was changed in the window last time, the demo link points at the simulator.
set_comm Mode 0
set_comm ipAddress 127.0.0.1
set_comm ipPort "$listening"
echo "Simulated device on 127.0.0.1:$listening (LAN mode); its output is in $out."
say_log
build/bin/quill --settings "$ini" "$@"
