#!/usr/bin/env bash
# The terminal pane under load, through the whole program (pane_load, in process, offscreen)
# against quill-sim: a text flood as fast as the link takes it over the LAN and over a
# pseudo-terminal, then the link with only its once-a-second status (idle figure).
#   bench/terminal_pane/measure_pane.sh [BUILD_DIR] [FLOOD_SECONDS] [IDLE_SECONDS]
set -euo pipefail
build="${1:-build}"
flood="${2:-60}"
idle="${3:-60}"
bin="$build/bin"
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

start_sim() {  # quill-sim options
  rm -f "$work/sim.log"  # the previous run's lines must not answer the wait below
  "$bin/quill-sim" "$@" </dev/null >"$work/sim.log" 2>&1 &
  sim=$!
  for _ in $(seq 100); do grep -q -e LISTEN -e PTY "$work/sim.log" 2>/dev/null && break; sleep 0.1; done
}
stop_sim() { kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; }

echo "== text flood over the LAN (${flood} s) =="
start_sim --port 0 --text max
"$bin/pane_load" --lan "$(sed -n 's/^LISTEN 127.0.0.1://p' "$work/sim.log")" --seconds "$flood"
stop_sim

echo "== text flood over a pseudo-terminal (${flood} s) =="
start_sim --pty --text max
QUILL_COM_MAP="COM5=$(sed -n 's/^PTY //p' "$work/sim.log")" "$bin/pane_load" --com 5 --seconds "$flood"
stop_sim

echo "== idle: pane shown, link up with one status pair a second (${idle} s) =="
start_sim --port 0
"$bin/pane_load" --lan "$(sed -n 's/^LISTEN 127.0.0.1://p' "$work/sim.log")" --seconds "$idle" --probe-ms 0
stop_sim
