#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
#   ./run.sh            the program with its usual settings file
#   ./run.sh --demo     the program against the bundled simulated device (when built)
#   ./run.sh --demo --serial   the same over a pseudo-terminal, in COM/USB mode
#   ./run.sh -- ARGS    passes ARGS to the program
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILL_TESTS=OFF -DQUILL_BENCH=OFF
cmake --build build

args=()
demo=0
serial=()
for a in "$@"; do
  case "$a" in
    --demo) demo=1 ;;
    --serial) serial=(--serial) ;;
    --) ;;
    *) args+=("$a") ;;
  esac
done

if [ "$demo" -eq 1 ] && [ -x build/bin/quill-sim ]; then
  exec bash scripts/demo.sh "${serial[@]}" "${args[@]}"
fi
exec build/bin/quill "${args[@]}"
