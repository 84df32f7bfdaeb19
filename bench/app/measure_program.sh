#!/usr/bin/env bash
# Whole-program figures: idle CPU and wake-ups with the link up, and resident memory under
# heavy link traffic. Runs the release build of the program (offscreen) against quill-sim.
#   bench/app/measure_program.sh [BUILD_DIR] [IDLE_SECONDS] [LOAD_SECONDS] [FLOOD_RATE]
set -euo pipefail
build="${1:-build}"
idle="${2:-60}"
load="${3:-600}"
flood="${4:-1000}"
bin="$build/bin"
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

start_pair() {  # $1: extra quill-sim options
  "$bin/quill-sim" --port 0 $1 </dev/null >"$work/sim.log" 2>&1 &
  sim=$!
  for _ in $(seq 100); do grep -q LISTEN "$work/sim.log" && break; sleep 0.1; done
  port=$(sed -n 's/^LISTEN 127.0.0.1://p' "$work/sim.log")
  printf '[Comm]\nPort=0\nMode=0\nipAddress=127.0.0.1\nipPort=%s\n' "$port" >"$work/quill.ini"
  "$bin/quill" --settings "$work/quill.ini" >/dev/null 2>&1 &
  quill=$!
}
stop_pair() { kill "$quill" "$sim" 2>/dev/null || true; wait "$quill" "$sim" 2>/dev/null || true; }

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Every thread's context switches: /proc/PID/status counts the main thread's only. Threads that
# ended between two readings take theirs with them, so compare runs with the same threads.
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ {s += $2} END {print s + 0}'; }
rss_kib() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }
hz=$(getconf CLK_TCK)

echo "== idle with the link up (${idle} s) =="
start_pair ""
sleep 5
t0=$(cpu_ticks "$quill"); s0=$(switches "$quill")
sleep "$idle"
t1=$(cpu_ticks "$quill"); s1=$(switches "$quill")
awk -v t=$((t1 - t0)) -v hz="$hz" -v d="$idle" -v s=$((s1 - s0)) \
  'BEGIN {printf "cpu %.3f%% of one core, %.1f wake-ups per second\n", 100 * t / hz / d, s / d}'
stop_pair

echo "== resident memory under load (${flood} status rounds a second, ${load} s) =="
start_pair "--flood $flood"
sleep 10
r0=$(rss_kib "$quill"); t0=$(cpu_ticks "$quill")
elapsed=0
while [ "$elapsed" -lt "$load" ]; do
  step=$(( load - elapsed < 60 ? load - elapsed : 60 ))
  sleep "$step"
  elapsed=$(( elapsed + step ))
  echo "  rss at $((elapsed + 10)) s: $(rss_kib "$quill") KiB"
done
r1=$(rss_kib "$quill"); t1=$(cpu_ticks "$quill")
echo "rss after 10 s: ${r0} KiB; after a further ${load} s: ${r1} KiB"
awk -v t=$((t1 - t0)) -v hz="$hz" -v d="$load" 'BEGIN {printf "cpu under load %.1f%% of one core\n", 100 * t / hz / d}'
stop_pair
