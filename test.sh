#!/usr/bin/env bash
# Installs what is missing (with the servers the tests start, never as services), builds the
# test configuration with AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh test
export QT_QPA_PLATFORM=offscreen
# The tests compare the English texts: the C locale, whatever the session's language.
export LC_ALL=C.UTF-8
unset LANGUAGE
# Qt's own start-up leaks a little by design; the tests check our code, not the toolkit's.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILL_SANITIZE=address,undefined -DQUILL_BENCH=OFF
cmake --build build-test
ctest --test-dir build-test --output-on-failure -j2
# The install and the Debian package, from a release build of their own (build-pkg).
bash scripts/check-package.sh </dev/null
# The threaded tests (ctest label "threads") again under ThreadSanitizer, in a build of their own.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILL_SANITIZE=thread -DQUILL_BENCH=OFF
THREAD_TESTS=$(ctest --test-dir build-tsan -L threads -N | sed -n 's/^ *Test *#[0-9]*: *//p')
if [ -n "$THREAD_TESTS" ]; then
  # shellcheck disable=SC2086 # one target per word
  cmake --build build-tsan --target $THREAD_TESTS
  TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp}" \
    ctest --test-dir build-tsan -L threads --output-on-failure -j2
fi
