#!/usr/bin/env bash
# Fault soak: the release program (offscreen) against quill-sim over TCP for MINUTES, driven
# through random faults one after another: the device falls silent, the connection is dropped,
# garbage arrives, a flood without carriage returns, a connection reset, a stopped peer
# (SIGSTOP). After each fault the link must come back within RECOVERY_S seconds; meanwhile the
# program's resident memory, descriptors and threads are sampled from /proc every SAMPLE_S
# seconds and must stay within the bounds below, and its CPU over the whole run too.
#   bench/app/soak.sh MINUTES [BUILD_DIR (default build-rel)] [SEED]
#   SOAK_FAULTS="nocr stop" bench/app/soak.sh ...   only these kinds of fault
# Builds quill and quill-sim in BUILD_DIR (Release) first. Exit status 0 when everything held.
#
# How the link is seen: quill-sim --verbose logs every line it receives. The program sends a
# link test every ~2 s while the link is up and every ~1 s while it is down, and after five
# unanswered tests it closes the connection and connects again. So READY_TESTS link tests in a
# row on one connection, each ~2 s after the one before, mean the program took the answers
# and holds the link up.
#
# Not covered yet: the same faults over a pseudo-terminal (quill-sim --pty) once the serial
# port layer can open one.
set -euo pipefail
cd "$(dirname "$0")/../.."
minutes="${1:?usage: bench/app/soak.sh MINUTES [BUILD_DIR] [SEED]}"
build="${2:-build-rel}"
seed="${3:-2495}"
RANDOM=$seed  # the same faults in the same order for the same seed

# Bounds, against the figures taken once the link is first up and has run WARMUP_S seconds.
RSS_GROWTH_KIB=20480  # resident memory may grow by 20 MiB at most
FD_EXTRA=3            # a connection being replaced, at most, on top of the start
THREAD_EXTRA=2
CPU_MAX_PERCENT=25    # of one core, averaged over the whole run (floods included)
RECOVERY_S=60
READY_TESTS=6
WARMUP_S=15
SAMPLE_S=5

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILL_BENCH=ON >/dev/null
cmake --build "$build" --target quill quill-sim >/dev/null
bin="$build/bin"
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
sim=""
quill=""
sampler=""
cleanup() {
  for p in $sampler $quill $sim; do kill -CONT "$p" 2>/dev/null || true; kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Each line of the simulator's output with the time it was read.
stamp() { while IFS= read -r l; do printf '%s %s\n' "$EPOCHREALTIME" "$l"; done; }
now() { printf '%s\n' "$EPOCHREALTIME"; }

mkfifo "$work/ctl"
exec 3<>"$work/ctl"  # held open: the simulator never sees the end of its commands
"$bin/quill-sim" --port 0 --verbose <"$work/ctl" > >(stamp >"$work/sim.out") 2> >(stamp >"$work/sim.err") &
sim=$!
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^[0-9.]* LISTEN 127.0.0.1://p' "$work/sim.out" 2>/dev/null || true)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "FAIL: quill-sim did not start"; exit 1; }
printf '[Comm]\nPort=0\nMode=0\nipAddress=127.0.0.1\nipPort=%s\n' "$port" >"$work/quill.ini"
"$bin/quill" --settings "$work/quill.ini" >"$work/quill.log" 2>&1 &
quill=$!

control() { printf '%s\n' "$1" >&3; }

# True when, after time $1, READY_TESTS link tests in a row came on one connection ~2 s apart.
ready_since() {
  awk -v t="$1" -v want="$READY_TESTS" '
    $1 >= t && $4 == "<" && $5 ~ /^\[C[0-9A-F]0503\]$/ {
      if ($3 == id && $1 - last >= 1.5 && $1 - last <= 3.5) n++; else n = 1
      id = $3; last = $1
      if (n >= want) found = 1
    }
    END { exit !found }' "$work/sim.err"
}

# Waits for the link from time $1 on; prints the seconds it took; false after RECOVERY_S.
wait_ready() {
  local from="$1" deadline
  deadline=$(awk -v f="$from" -v r="$RECOVERY_S" 'BEGIN {printf "%.3f\n", f + r}')
  while ! ready_since "$from"; do
    kill -0 "$quill" 2>/dev/null || { echo "program ended"; return 1; }
    if awk -v n="$(now)" -v d="$deadline" 'BEGIN {exit !(n > d)}'; then return 1; fi
    sleep 0.5
  done
  # When the first of the link tests that proved it came: the link was back by then.
  awk -v t="$from" -v want="$READY_TESTS" '
    $1 >= t && $4 == "<" && $5 ~ /^\[C[0-9A-F]0503\]$/ {
      if ($3 == id && $1 - last >= 1.5 && $1 - last <= 3.5) n++; else { n = 1; first = $1 }
      id = $3; last = $1
      if (n >= want) { printf "%.1f\n", first - t; exit }
    }' "$work/sim.err"
}

hz=$(getconf CLK_TCK)
sample() {  # time rss_kib fds threads cpu_ticks
  local p="$1"
  printf '%s %s %s %s %s\n' "$(now)" \
    "$(awk '/^VmRSS/ {print $2}' "/proc/$p/status")" \
    "$(find "/proc/$p/fd" -mindepth 1 -maxdepth 1 | wc -l)" \
    "$(awk '/^Threads/ {print $2}' "/proc/$p/status")" \
    "$(awk '{print $14 + $15}' "/proc/$p/stat")"
}

echo "== soak: ${minutes} min of faults, seed ${seed}, program pid ${quill}, simulator port ${port}"
t0=$(now)
if ! up=$(wait_ready "$t0"); then echo "FAIL: the link never came up"; exit 1; fi
echo "link up after ${up} s"
sleep "$WARMUP_S"
read -r _ rss0 fd0 thr0 cpu0 <<<"$(sample "$quill")"
start_time=$(now)
echo "start: rss ${rss0} KiB, ${fd0} descriptors, ${thr0} threads"

# Sampling in the background; a sample past a bound is reported at once and ends the run.
(
  while kill -0 "$quill" 2>/dev/null; do
    s=$(sample "$quill") || break
    echo "$s" >>"$work/samples"
    read -r _ rss fds thr _ <<<"$s"
    if [ "$rss" -gt $((rss0 + RSS_GROWTH_KIB)) ] || [ "$fds" -gt $((fd0 + FD_EXTRA)) ] ||
       [ "$thr" -gt $((thr0 + THREAD_EXTRA)) ]; then
      echo "FAIL: past a bound: rss ${rss} KiB (start ${rss0}), ${fds} descriptors (start ${fd0}), ${thr} threads (start ${thr0})"
      kill -TERM $$
      exit 1
    fi
    sleep "$SAMPLE_S"
  done
) &
sampler=$!
trap 'echo "FAIL: stopped by the sampler"; exit 1' TERM

# SOAK_FAULTS="nocr stop" narrows the choice, e.g. to look into one kind.
read -r -a faults <<<"${SOAK_FAULTS:-silence drop garbage nocr reset stop}"
declare -A count
max_recovery=0
end=$(awk -v s="$start_time" -v m="$minutes" 'BEGIN {printf "%.3f\n", s + 60 * m}')
while awk -v n="$(now)" -v e="$end" 'BEGIN {exit !(n < e)}'; do
  f=${faults[RANDOM % ${#faults[@]}]}
  case "$f" in
    silence) d=$((5 + RANDOM % 21)); control "silent on"; sleep "$d"; control "silent off"; what="silent ${d} s" ;;
    drop) control drop; what="dropped" ;;
    garbage) n=$((1 + RANDOM % 5)); for _ in $(seq "$n"); do control garbage; sleep 0.2; done; what="${n} x garbage" ;;
    nocr) b=$(( (1 + RANDOM % 8) * 1000000 )); control "nocr $b"; what="${b} bytes without CR" ;;
    reset) control reset; what="reset" ;;
    stop) d=$((5 + RANDOM % 21)); kill -STOP "$sim"; sleep "$d"; kill -CONT "$sim"; what="stopped ${d} s" ;;
  esac
  count[$f]=$(( ${count[$f]:-0} + 1 ))
  t=$(now)
  if ! took=$(wait_ready "$t"); then
    echo "FAIL: no link within ${RECOVERY_S} s after: ${what}"
    exit 1
  fi
  echo "$(date -u +%H:%M:%S) ${what}: link back after ${took} s"
  max_recovery=$(awk -v a="$max_recovery" -v b="$took" 'BEGIN {print (b > a ? b : a)}')
  sleep $((2 + RANDOM % 8))
done

read -r t1 rss1 fd1 thr1 cpu1 <<<"$(sample "$quill")"
kill "$sampler" 2>/dev/null || true
wait "$sampler" 2>/dev/null || true
sampler=""
trap - TERM
peak=$(awk 'BEGIN {m = 0} $2 > m {m = $2} END {print m}' "$work/samples")
cpu=$(awk -v c=$((cpu1 - cpu0)) -v hz="$hz" -v d="$(awk -v a="$start_time" -v b="$t1" 'BEGIN {printf "%.3f\n", b - a}')" \
  'BEGIN {printf "%.1f", 100 * c / hz / d}')
echo "end:   rss ${rss1} KiB (peak ${peak}), ${fd1} descriptors, ${thr1} threads"
echo "cpu ${cpu}% of one core over the run; faults:$(for f in "${faults[@]}"; do printf ' %s %s' "$f" "${count[$f]:-0}"; done); slowest recovery ${max_recovery} s"
if awk -v c="$cpu" -v m="$CPU_MAX_PERCENT" 'BEGIN {exit !(c > m)}'; then
  echo "FAIL: cpu ${cpu}% above ${CPU_MAX_PERCENT}%"
  exit 1
fi
kill -TERM "$quill"
wait "$quill" 2>/dev/null || true
quill=""
control quit
echo "PASS"
