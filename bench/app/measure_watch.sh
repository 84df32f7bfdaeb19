#!/usr/bin/env bash
# What waiting for a lost serial port costs: context switches of every thread of the release
# program over SECONDS, in COM/USB mode against quill-sim on a pseudo-terminal behind a link,
# with Reconnect off and on, first with the link up, then with the device gone (with Reconnect
# on the program then watches the link's folders).
#   bench/app/measure_watch.sh [BUILD_DIR (default build-rel)] [SECONDS (default 60)]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build-rel}"
seconds="${2:-60}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target quill quill-sim >/dev/null
bin="$build/bin"
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
sim=""
quill=""
cleanup() {
  for p in $quill $sim; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Voluntary plus involuntary context switches summed over the process's threads.
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^(non)?voluntary_ctxt_switches/ {n += $2} END {print n + 0}'
}

measure() {  # reconnect(0/1) device(up/gone)
  local reconnect="$1" device="$2" pty a b
  : >"$work/sim.out"
  "$bin/quill-sim" --pty </dev/null >"$work/sim.out" 2>/dev/null &
  sim=$!
  for _ in $(seq 100); do
    pty=$(sed -n 's/^PTY //p' "$work/sim.out")
    [ -n "$pty" ] && break
    sleep 0.1
  done
  ln -sfn "$pty" "$work/tty"
  printf '[Comm]\nPort=5\nMode=1\nReconnect=%s\n[ComMap]\nCOM5=%s\n' "$reconnect" "$work/tty" >"$work/q.ini"
  "$bin/quill" --settings "$work/q.ini" >"$work/quill.log" 2>&1 &
  quill=$!
  sleep 5  # the link comes up
  if [ "$device" = gone ]; then
    kill "$sim"
    wait "$sim" 2>/dev/null || true
    sim=""
    sleep 5  # the loss is noticed at the next link test and the boxes are up
  fi
  a=$(switches "$quill")
  sleep "$seconds"
  b=$(switches "$quill")
  printf 'Reconnect=%s, device %-4s: %6d context switches in %s s (%.1f/s), %s threads\n' \
    "$reconnect" "$device" $((b - a)) "$seconds" "$(awk -v n=$((b - a)) -v s="$seconds" 'BEGIN {print n / s}')" \
    "$(ls /proc/"$quill"/task | wc -l)"
  kill "$quill"
  wait "$quill" 2>/dev/null || true
  quill=""
  if [ -n "$sim" ]; then kill "$sim"; wait "$sim" 2>/dev/null || true; sim=""; fi
}

echo "== load average: $(cut -d' ' -f1-3 /proc/loadavg)"
for device in up gone; do
  for reconnect in 0 1; do measure "$reconnect" "$device"; done
done
