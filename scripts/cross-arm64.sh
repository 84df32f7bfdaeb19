#!/usr/bin/env bash
# The arm64 build on this (x86-64 Debian 12) machine with Debian's cross tools: installs what it
# needs (scripts/install-deps.sh cross-arm64), builds the test configuration for arm64
# (build-arm64, toolchain file cmake/aarch64-linux-gnu.cmake), runs the tests under the
# user-mode emulator, and makes and checks the arm64 package (scripts/check-package.sh arm64,
# in build-pkg-arm64). Ends with the tests' summary, the skipped ones with their reasons, and
# the package's architecture and dependencies. Long: ./test.sh and .ci/run do not run it.
#
# Tests labelled needs-native never run here (the emulator lacks what they need; ./test.sh runs
# them natively); those labelled needs-binfmt run only where binfmt_misc hands arm64 programs to
# the emulator, which this script sets up where the machine lets it.
set -euo pipefail
cd "$(dirname "$0")/.."

ARCH=arm64
TRIPLET=aarch64-linux-gnu
BUILD=build-$ARCH
start=$SECONDS

bash scripts/install-deps.sh cross-arm64
EMULATOR=$(command -v qemu-aarch64)

# --- binfmt_misc ------------------------------------------------------------------------------
# The tests start only through the emulator named in the toolchain file; a program they start in
# turn reaches the emulator only through binfmt_misc. Where it is not mounted, mount it; where
# qemu-aarch64 is not registered, register it (qemu-user-binfmt's entry). A container usually
# allows neither: then the needs-binfmt tests are skipped, and said so.
BINFMT=/proc/sys/fs/binfmt_misc
binfmt_note=
if [ ! -e "$BINFMT/register" ] && ! mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null; then
  binfmt_note="binfmt_misc cannot be mounted here (a container without the privilege?)"
elif [ ! -e "$BINFMT/qemu-aarch64" ]; then
  entry=/usr/lib/binfmt.d/qemu-aarch64.conf
  if ! { [ -r "$entry" ] && grep -v '^#' "$entry" >"$BINFMT/register"; } 2>/dev/null; then
    binfmt_note="qemu-aarch64 cannot be registered with binfmt_misc here"
  fi
fi
if [ -z "$binfmt_note" ] && ! grep -qx enabled "$BINFMT/qemu-aarch64" 2>/dev/null; then
  binfmt_note="qemu-aarch64 is registered with binfmt_misc but disabled"
fi
if [ -z "$binfmt_note" ]; then
  echo "cross-arm64: binfmt_misc runs arm64 programs through $(sed -n 's/^interpreter //p' "$BINFMT/qemu-aarch64")"
  EXCLUDE='^needs-native$'
else
  echo "cross-arm64: $binfmt_note; the tests that start arm64 programs (needs-binfmt) are skipped"
  EXCLUDE='^(needs-native|needs-binfmt)$'
fi

# --- Build and test ---------------------------------------------------------------------------
# Debug without sanitizers: the test configuration of ./test.sh, less the sanitizers, whose
# shadow memory the emulator cannot map.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/$TRIPLET.cmake" -DCMAKE_BUILD_TYPE=Debug \
  -DQUILL_BENCH=OFF
cmake --build "$BUILD"
export QT_QPA_PLATFORM=offscreen
test_start=$SECONDS
tests_rc=0
ctest --test-dir "$BUILD" --output-on-failure -j2 -LE "$EXCLUDE" | tee "$BUILD/ctest.log" || tests_rc=$?
test_time=$((SECONDS - test_start))

echo
echo "cross-arm64: tests under $EMULATOR ($((test_time / 60)) min $((test_time % 60)) s):"
grep -E '^[0-9]+% tests passed' "$BUILD/ctest.log" | sed 's/^/  /' || true
skipped=$(ctest --test-dir "$BUILD" -N -L "$EXCLUDE" | sed -n 's/^ *Test *#[0-9]*: *//p')
if [ -n "$skipped" ]; then
  echo "  skipped here, run natively by ./test.sh:"
  while read -r name; do
    why=$(awk -F'\t' -v n="$name" '$1 == n { print $2 ": " $3 }' "$BUILD/tests-emulation.tsv")
    echo "    $name ($why)"
  done <<<"$skipped"
fi
if [ "$tests_rc" -ne 0 ]; then
  echo "cross-arm64: FAILED: tests failed under the emulator (above)" >&2
  exit 1
fi

# --- The package ------------------------------------------------------------------------------
bash scripts/check-package.sh "$ARCH" </dev/null
deb=build-pkg-$ARCH/quill_1.0_$ARCH.deb
echo
echo "cross-arm64: $deb"
dpkg-deb -f "$deb" Architecture Depends | sed 's/^/  /'
total=$((SECONDS - start))
echo "cross-arm64: done in $((total / 60)) min $((total % 60)) s"
