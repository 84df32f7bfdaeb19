#!/usr/bin/env bash
# Fault soak: the release program (offscreen) against quill-sim for MINUTES, driven through
# random faults one after another, over TCP (LAN mode) or over a pseudo-terminal (COM/USB
# mode). After each fault the link must come back within RECOVERY_S seconds; meanwhile the
# program's resident memory, descriptors and threads are sampled from /proc every SAMPLE_S
# seconds and must stay within the bounds below, and its CPU over the whole run too.
#   bench/app/soak.sh MINUTES [BUILD_DIR (default build-rel)] [SEED]
#   SOAK_FAULTS="nocr stop" bench/app/soak.sh ...   only these kinds of fault
#   SOAK_LINK=pty bench/app/soak.sh ...             over a pseudo-terminal
# Builds quill and quill-sim in BUILD_DIR (Release) first. Exit status 0 when everything held.
#
# Faults over TCP: the device falls silent, the connection is dropped, garbage arrives, a flood
# without carriage returns, a connection reset, a stopped peer (SIGSTOP).
# Over a pseudo-terminal the program opens COM5, mapped to a symbolic link that the soak points
# at the simulator's terminal (as a udev link follows an adapter), with Reconnect=1: silence,
# garbage, a flood without carriage returns, a stopped peer, the terminal replaced by a new one
# (drop: an adapter reset that comes back under another number), the simulator killed and
# started again on a new terminal (kill), and killed while stopped with the program's link
# tests waiting in the terminal (stopkill: the device goes while the program writes).
#
# How the link is seen: quill-sim --verbose logs every line it receives. The program sends a
# link test every ~2 s while the link is up and every ~1 s while it is down, and after five
# unanswered tests it closes the connection and connects again. So READY_TESTS link tests in a
# row on one connection (one terminal), each ~2 s after the one before, mean the program took
# the answers and holds the link up.
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

link="${SOAK_LINK:-lan}"
case "$link" in
  lan) default_faults="silence drop garbage nocr reset stop" ;;
  pty) default_faults="silence garbage nocr stop drop kill stopkill" ;;
  *) echo "SOAK_LINK is lan or pty" >&2; exit 2 ;;
esac

mkfifo "$work/ctl"
exec 3<>"$work/ctl"  # held open: the simulators never see the end of their commands
: >"$work/sim.out"
: >"$work/sim.err"
tty_link="$work/ttyQuill"

# Points the terminal link at $1 in one step, as a device manager replaces a link.
point_link() {
  ln -sfn "$1" "$tty_link.new"
  mv -T "$tty_link.new" "$tty_link"
}

# Waits for the simulator's announcement (LISTEN or PTY) after line $1 of its output; prints
# the port or the terminal's path.
wait_announced() {
  local from="$1" what=""
  for _ in $(seq 100); do
    if [ "$link" = lan ]; then
      what=$(tail -n +"$((from + 1))" "$work/sim.out" | sed -n 's/^[0-9.]* LISTEN 127.0.0.1://p' | head -n 1)
    else
      what=$(tail -n +"$((from + 1))" "$work/sim.out" | sed -n 's/^[0-9.]* PTY //p' | head -n 1)
    fi
    [ -n "$what" ] && { echo "$what"; return 0; }
    sleep 0.1
  done
  return 1
}

start_sim() {
  local mark
  mark=$(wc -l <"$work/sim.out")
  if [ "$link" = lan ]; then
    "$bin/quill-sim" --port 0 --verbose <"$work/ctl" > >(stamp >>"$work/sim.out") 2> >(stamp >>"$work/sim.err") &
  else
    "$bin/quill-sim" --pty --verbose <"$work/ctl" > >(stamp >>"$work/sim.out") 2> >(stamp >>"$work/sim.err") &
  fi
  sim=$!
  announced=$(wait_announced "$mark") || { echo "FAIL: quill-sim did not start"; exit 1; }
  if [ "$link" = pty ]; then point_link "$announced"; fi
}

start_sim
if [ "$link" = lan ]; then
  port=$announced
  printf '[Comm]\nPort=0\nMode=0\nipAddress=127.0.0.1\nipPort=%s\n' "$port" >"$work/quill.ini"
else
  port="COM5 -> $tty_link"
  printf '[Comm]\nPort=5\nMode=1\nReconnect=1\n[ComMap]\nCOM5=%s\n' "$tty_link" >"$work/quill.ini"
fi
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

echo "== soak over ${link}: ${minutes} min of faults, seed ${seed}, program pid ${quill}, simulator ${port}"
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
read -r -a faults <<<"${SOAK_FAULTS:-$default_faults}"
declare -A count
max_recovery=0
end=$(awk -v s="$start_time" -v m="$minutes" 'BEGIN {printf "%.3f\n", s + 60 * m}')
while awk -v n="$(now)" -v e="$end" 'BEGIN {exit !(n < e)}'; do
  f=${faults[RANDOM % ${#faults[@]}]}
  case "$f" in
    silence) d=$((5 + RANDOM % 21)); control "silent on"; sleep "$d"; control "silent off"; what="silent ${d} s" ;;
    drop)
      if [ "$link" = pty ]; then
        # A new terminal replaces the old one; the link follows it a moment later.
        mark=$(wc -l <"$work/sim.out")
        control drop
        tty=$(wait_announced "$mark") || { echo "FAIL: no new terminal after drop"; exit 1; }
        sleep 0.$((RANDOM % 10))
        point_link "$tty"
        what="terminal replaced by ${tty}"
      else
        control drop
        what="dropped"
      fi ;;
    kill|stopkill)
      if [ "$f" = stopkill ]; then
        d=$((3 + RANDOM % 8)); kill -STOP "$sim"; sleep "$d"
      fi
      kill -KILL "$sim"; wait "$sim" 2>/dev/null || true
      rm -f "$tty_link"  # the link goes with its device, as udev's do
      sleep 0.$((RANDOM % 10))
      start_sim
      if [ "$f" = stopkill ]; then what="stopped ${d} s, killed, back on ${announced}"; else what="killed, back on ${announced}"; fi ;;
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
