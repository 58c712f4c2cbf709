#!/usr/bin/env bash
# Builds the libFuzzer targets (scripts/setup.sh --fuzz, folder build-fuzz) and runs every fuzz_*
# program with ASan (leak detection on) and UBSan on a copy of its committed seed corpus; any
# finding fails the run.
#   scripts/fuzz.sh [seconds]          seconds per target, 60 when not given
#   scripts/fuzz.sh --list             names the targets
#   FUZZ_TARGETS="fuzz_packets ..."    runs only those targets
#   FUZZ_CORPUS_DIR=dir                keeps each target's grown corpus in dir/<name> (long campaigns)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--list" ]; then
  for src in fuzz/fuzz_*.cpp; do basename "$src" .cpp; done
  exit 0
fi
seconds="${1:-60}"
scripts/setup.sh --fuzz
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
status=0
found=0
for exe in build-fuzz/fuzz/fuzz_*; do
  [ -f "$exe" ] && [ -x "$exe" ] || continue
  name=$(basename "$exe")
  if [ -n "${FUZZ_TARGETS:-}" ] && [[ " $FUZZ_TARGETS " != *" $name "* ]]; then
    continue
  fi
  found=1
  if [ -n "${FUZZ_CORPUS_DIR:-}" ]; then
    work="$FUZZ_CORPUS_DIR/$name"
    mkdir -p "$work"
  else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
  fi
  if [ -d "fuzz/corpus/$name" ]; then
    cp -r "fuzz/corpus/$name/." "$work/"
  fi
  # The analysis may use its time caps in full (about 32 s); every other target answers at once.
  timeout=10
  [ "$name" = fuzz_analysis ] && timeout=120
  echo "== $name: ${seconds} s"
  if ! "$exe" -seed=1 -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="build-fuzz/${name}-" "$work"; then
    echo "FINDING in $name (reproducer in build-fuzz/${name}-*)" >&2
    status=1
  fi
  if [ -z "${FUZZ_CORPUS_DIR:-}" ]; then
    rm -rf "$work"
    trap - EXIT
  fi
done
if [ "$found" -eq 0 ]; then
  echo "no fuzz targets built" >&2
  exit 1
fi
exit $status
