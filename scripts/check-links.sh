#!/usr/bin/env bash
# Fails when a program loads a shared library it must not need.
#   scripts/check-links.sh PROGRAM:LIBRARY[,LIBRARY...] ...
# e.g. build/app/vexaro-setup:libQt5Test. A program that was not built is an error too.
set -euo pipefail
bad=0
for rule in "$@"; do
  program=${rule%%:*}
  libraries=${rule#*:}
  if [ ! -x "$program" ]; then
    echo "$program: not built"
    bad=1
    continue
  fi
  # What the loader maps for the program, its libraries' own dependencies included.
  loaded=$(ldd "$program")
  if grep -q 'not found' <<<"$loaded"; then
    grep 'not found' <<<"$loaded"
    bad=1
  fi
  IFS=, read -ra forbidden <<<"$libraries"
  for lib in "${forbidden[@]}"; do
    if grep -q "^[[:space:]]*$lib\." <<<"$loaded"; then
      echo "$program: loads $lib"
      bad=1
    fi
  done
done
exit $bad
