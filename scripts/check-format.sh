#!/usr/bin/env bash
# Fails when a C++ source of the project differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
fmt=$(command -v clang-format || command -v clang-format-14 || true)
if [ -z "$fmt" ]; then
  echo "clang-format not found" >&2
  exit 1
fi
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
bad=0
for f in $files; do
  if ! "$fmt" --style=file --dry-run -Werror "$f" >/dev/null 2>&1; then
    echo "needs clang-format: $f"
    bad=1
  fi
done
exit $bad
