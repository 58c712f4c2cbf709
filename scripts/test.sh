#!/usr/bin/env bash
# Builds the project and runs the whole test suite through CTest.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh "$@"
dir=build
[ "${1:-}" = "--sanitize" ] && dir=build-asan
export QT_QPA_PLATFORM=offscreen
# verify_asan_link_order=0: the usbfs tests run with umockdev's preload library ahead of ASan's.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:verify_asan_link_order=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$dir"
ctest --output-on-failure -j "$(nproc)" --timeout 600
