#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz) with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz, and runs them one after another.
#   ./fuzz.sh [target|all] [seconds per target, default 60]
# Inputs the fuzzer finds worth keeping stay in build-fuzz/corpus/<target>; the seeds in
# tests/fuzz/corpus/<target> are read, never written. A finding (crash, sanitizer report, failed
# check, leak, timeout) is copied into the seeds as finding-<hash>, so the ordinary test build
# replays it from then on, and the script fails.
set -euo pipefail
cd "$(dirname "$0")"
TARGETS=(packet_codec line_assembler ws_connection socks_reply ini_file serial_device_map tty_input keymap_loader charset_loader)
WANT=${1:-all}
SECONDS_EACH=${2:-60}
if [ "$WANT" != all ] && ! printf '%s\n' "${TARGETS[@]}" | grep -qx -- "$WANT"; then
  echo "usage: $0 [all|${TARGETS[*]// /|}] [seconds]" >&2
  exit 2
fi
[ "$WANT" = all ] || TARGETS=("$WANT")

bash scripts/install-deps.sh fuzz
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILL_SANITIZE=address,undefined -DQUILL_FUZZ=ON -DQUILL_BENCH=OFF >/dev/null
cmake --build build-fuzz --target "${TARGETS[@]/%/_fuzz}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
status=0
for T in "${TARGETS[@]}"; do
  Work=build-fuzz/corpus/$T
  Found=build-fuzz/findings/$T
  Log=build-fuzz/logs/$T.log
  mkdir -p "$Work" "$Found" "$(dirname "$Log")"
  echo "== $T for ${SECONDS_EACH}s (log: $Log)"
  if build-fuzz/bin/"$T"_fuzz -max_total_time="$SECONDS_EACH" -timeout=10 \
       -print_final_stats=1 -artifact_prefix="$Found/" "$Work" "tests/fuzz/corpus/$T" >"$Log" 2>&1; then
    # The last status line carries the coverage (cov: edges, ft: features) and the executions.
    grep -E '^#[0-9]+' "$Log" | tail -1 || true
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|INFO: Loaded)' "$Log" || true
    # What the corpus reaches of the project's own code (src/): edges per file (the totals count
    # exception and sanitizer edges too), and the functions it never enters.
    build-fuzz/bin/"$T"_fuzz -runs=0 -print_coverage=1 "$Work" "tests/fuzz/corpus/$T" 2>&1 | awk '
      /^(UN)?COVERED_FUNC:/ && $NF ~ /\/src\// {
        split($5, e, "/"); f = $NF; sub(/:[0-9]+$/, "", f); sub(/.*\/src\//, "src/", f)
        while (sub(/[^\/]+\/\.\.\//, "", f)) {}
        c[f] += e[1]; t[f] += e[2]
        if ($1 == "UNCOVERED_FUNC:") { n = $0; sub(/^.*edges: [0-9]+\/[0-9]+ /, "", n); u[f] = u[f] "\n    never: " n }
      }
      END { for (f in c) printf "  %s: %d of %d edges%s\n", f, c[f], t[f], u[f] }' | tee "build-fuzz/logs/$T.coverage"
  else
    status=1
    tail -40 "$Log"
    for F in "$Found"/*; do
      [ -f "$F" ] || continue
      Seed="tests/fuzz/corpus/$T/finding-$(sha1sum "$F" | cut -c1-12)"
      cp "$F" "$Seed"
      echo "finding kept as $Seed"
    done
  fi
done
exit $status
