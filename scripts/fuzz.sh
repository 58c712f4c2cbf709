#!/usr/bin/env bash
# Builds the libFuzzer targets (scripts/setup.sh --fuzz, folder build-fuzz) and runs every fuzz_*
# program with ASan and UBSan on a copy of its committed seed corpus; any finding fails the run.
#   scripts/fuzz.sh [seconds]     seconds per target, 60 when not given
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/setup.sh --fuzz
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
found=0
for exe in build-fuzz/fuzz/fuzz_*; do
  [ -f "$exe" ] && [ -x "$exe" ] || continue
  found=1
  name=$(basename "$exe")
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  if [ -d "fuzz/corpus/$name" ]; then
    cp -r "fuzz/corpus/$name/." "$work/"
  fi
  echo "== $name: ${seconds} s"
  if ! "$exe" -seed=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/${name}-" "$work"; then
    echo "FINDING in $name (reproducer in build-fuzz/${name}-*)" >&2
    status=1
  fi
  rm -rf "$work"
  trap - EXIT
done
if [ "$found" -eq 0 ]; then
  echo "no fuzz targets built" >&2
  exit 1
fi
exit $status
