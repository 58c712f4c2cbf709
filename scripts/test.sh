#!/usr/bin/env bash
# Builds the project and runs the whole test suite through CTest.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer (leak detection on) + UndefinedBehaviorSanitizer
#                                build in build-asan/
#   scripts/test.sh --tsan       ThreadSanitizer build in build-tsan/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh "$@"
dir=build
case "${1:-}" in
  --sanitize) dir=build-asan ;;
  --tsan) dir=build-tsan ;;
esac
export QT_QPA_PLATFORM=offscreen
here=$(pwd)
# Suppressions name third-party code only, each with its reason (see the files).
# verify_asan_link_order=0: the usbfs tests run with umockdev's preload library ahead of ASan's.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# ignore_noninstrumented_modules: the memcpy and memset calls of Qt and OpenCV (not built with the
# sanitizer, and suppressed anyway) are not checked; checking them, one suppressed report after
# another, made a calibration over a hundred times slower than the rest of the run.
export TSAN_OPTIONS="suppressions=$here/scripts/tsan.supp:halt_on_error=1:second_deadlock_stack=1:report_signal_unsafe=0:ignore_noninstrumented_modules=1"
# The sanitizer builds run several times slower; the simulated installation's waits stretch.
[ "$dir" != build ] && export VEXARO_WAIT_STRETCH=5
cd "$dir"
# VEXARO_TEST_LABELS picks test programs by folder label (a ctest -L expression), VEXARO_TEST_NAMES
# tests by name (a ctest -R expression); all by default.
ctest --output-on-failure -j "$(nproc)" --timeout 600 ${VEXARO_TEST_LABELS:+-L "$VEXARO_TEST_LABELS"} \
  ${VEXARO_TEST_NAMES:+-R "$VEXARO_TEST_NAMES"}
