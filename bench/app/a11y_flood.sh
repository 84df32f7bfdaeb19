#!/usr/bin/env bash
# What a screen reader costs under a text flood: the release program against quill-sim
# --text max with the Communications window open (its terminal pane showing the flood), inside
# tests/e2e/a11y_session.sh (Xvfb, the accessibility bus), over SECONDS, once with no AT-SPI
# client listening to events and once with one listening to the pane's text and caret events.
# Prints per case: the pane's text events a second seen by the listener, the program's CPU,
# the lines a second the pane showed, and the time of `quill-ctl status` (the GUI thread's
# answer on the session bus) as median and maximum of 20.
#   bench/app/a11y_flood.sh [BUILD_DIR (default build-rel)] [SECONDS (default 20)]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build-rel}"
seconds="${2:-20}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target quill quill-sim quill-ctl >/dev/null
for listen in no yes; do
  QUILL_BIN_DIR="$PWD/$build/bin" tests/e2e/a11y_session.sh /usr/bin/python3 bench/app/a11y_flood.py "$listen" "$seconds"
done
