#!/usr/bin/env bash
# The interleaved comparisons in one go, RUNS times, each against its aim: serial receive and
# round trip beside the plain pseudo-terminal loops, network receive beside the notifier loop,
# an idle port's dispatcher thread, and the terminal beside libtsm. One line per run with the
# load average and the raw round trip (how fast this machine's wake-ups are at that moment:
# every serial ratio moves with it), then the median of the runs.
#   bench/aims.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build="${1:-build}"
runs="${2:-3}"
bin="$build/bin"
for b in serial_bench net_bench terminal_bench; do
  [[ -x "$bin/$b" ]] || { echo "no $bin/$b: configure a Release build with benchmarks" >&2; exit 2; }
done
export QT_QPA_PLATFORM=offscreen
out=$(mktemp)
trap 'rm -f "$out"' EXIT

counter() {  # NAME < benchmark output: the counter's value from the summary lines
  grep -o "[[:space:]]$1=[0-9.e+-]*" | tail -1 | cut -d= -f2
}
load() { cut -d' ' -f1 /proc/loadavg; }

# net % and net cpu: medians over the n pairs (of 9) where the anchor was in its normal mode.
columns='%-3s %5s %8s %8s %7s %7s %8s %8s %3s %6s %6s %6s\n'
printf "$columns" run load "raw us" "recv %" "rt x" "p99 x" "net %" "net cpu" n idle/s short xlf
for i in $(seq "$runs"); do
  l=$(load)
  s=$("$bin/serial_bench" --benchmark_filter='Pairs|Idle' 2>/dev/null)
  raw=$(grep -o 'raw p50 [0-9.]*' <<<"$s" | tail -1 | cut -d' ' -f3)
  n=$("$bin/net_bench" --benchmark_filter=ReceivePairs 2>/dev/null)
  t=$("$bin/terminal_bench" --pairs=5 --streams=short,xlf --references=libtsm --benchmark_filter=none 2>/dev/null)
  short=$(awk '$1 == "short" {v = $4} END {print v}' <<<"$t")
  xlf=$(awk '$1 == "xlf" {v = $4} END {print v}' <<<"$t")
  printf '%-3s %5s %8s %8.0f %7.2f %7.2f %8.0f %8.0f %3.0f %6s %6s %6s\n' "$i" "$l" "$raw" \
    "$(counter port_pct <<<"$(grep ReceivePairs <<<"$s")")" "$(counter port_x_raw <<<"$s")" \
    "$(counter p99_x_raw <<<"$s")" "$(counter port_pct <<<"$n")" "$(counter port_cpu_pct <<<"$n")" \
    "$(counter pairs_counted <<<"$n")" "$(counter dispatcher_per_s <<<"$s")" "${short:-none}" "${xlf:-none}" |
    tee -a "$out"
done
median() {  # COLUMN: the median of that column over the runs
  awk -v c="$1" '{print $c}' "$out" | tr -d x | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'
}
printf "$columns" med "" "$(median 3)" "$(median 4)" "$(median 5)" \
  "$(median 6)" "$(median 7)" "$(median 8)" "$(median 9)" "$(median 10)" "$(median 11)x" "$(median 12)x"
printf "$columns" aim "" "" ">= 80" "<= 2" "<= 3" ">= 60" "" "" 0 ">= 8x" ">= 5x"
