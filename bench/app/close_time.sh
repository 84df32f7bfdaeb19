#!/usr/bin/env bash
# Time from SIGTERM to the end of the process, with the link up against quill-sim, the way a
# user's close box or a session logout ends the program. Every flush of a file to the disk is
# delayed by DELAY_MS (strace fault injection), to stand in for a slow disk.
#   bench/app/close_time.sh BUILD_DIR [RUNS] [DELAY_MS]
set -euo pipefail
build=${1:?build folder}
runs=${2:-5}
delay_ms=${3:-100}
command -v strace >/dev/null || { echo "close_time.sh needs strace" >&2; exit 1; }
work=$(mktemp -d)
sim_pid=
cleanup() { [ -n "$sim_pid" ] && pkill -P $$ sleep 2>/dev/null; kill "$sim_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# The simulator on a free port; its first output line names the port.
sleep 100000 | "$build/bin/quill-sim" --port 0 > "$work/sim.out" &
sim_pid=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/^LISTEN .*:\([0-9]*\)$/\1/p' "$work/sim.out")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "quill-sim did not start" >&2; exit 1; }
printf '[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=%s\n' "$port" > "$work/q.ini"

for ((i = 1; i <= runs; i++)); do
  QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} strace -f -qq -o /dev/null -e trace=fsync \
    -e inject=fsync:delay_exit=$((delay_ms * 1000)) "$build/bin/quill" --settings "$work/q.ini" 2>/dev/null &
  tracer=$!
  # The program, once it catches SIGTERM (its handler is installed) and has been up a moment.
  pid=
  for _ in $(seq 100); do
    pid=$(pgrep -P "$tracer" -x quill || true)
    if [ -n "$pid" ] && (( 0x$(awk '/^SigCgt/ {print $2}' /proc/"$pid"/status) >> 14 & 1 )); then break; fi
    sleep 0.1
  done
  sleep 2
  start=$(date +%s%N)
  kill -TERM "$pid"
  wait "$tracer"
  end=$(date +%s%N)
  echo "run $i: $(( (end - start) / 1000000 )) ms from SIGTERM to exit"
done
