#!/usr/bin/env bash
# Fails when a source folder includes a header from a folder on a higher floor, or when a folder
# with sources has no floor yet (a new folder must be placed before it is used).
#   scripts/check-floors.sh [SOURCE_ROOT]
# Floors, bottom first; folders on one line share a floor and may include each other. The
# programs' folders (tools, bench, fuzz) and tests sit on top and may include anything.
set -euo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root"
floors=(
  "platform"
  "services"
  "device"
  "analysis"
  "module"
  "sim usbemu"
  "calibration"
  "ui"
  "harness"
  "app"
)
top="tools bench fuzz tests resources scripts cmake docs build"

declare -A floor_of
for i in "${!floors[@]}"; do
  for folder in ${floors[$i]}; do
    floor_of[$folder]=$i
  done
done

bad=0
for dir in */; do
  folder=${dir%/}
  case " $top " in *" $folder "*) continue ;; esac
  [[ $folder == build* ]] && continue
  if ! compgen -G "$folder/*.cpp" >/dev/null && ! compgen -G "$folder/*.h" >/dev/null; then
    continue
  fi
  if [ -z "${floor_of[$folder]+set}" ]; then
    echo "$folder/: no floor; add it to the list in scripts/check-floors.sh"
    bad=1
    continue
  fi
  own=${floor_of[$folder]}
  # Every project include names its folder first: #include "folder/Header.h".
  while IFS=: read -r file line text; do
    included=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    [ -z "${floor_of[$included]+set}" ] && continue
    if [ "${floor_of[$included]}" -gt "$own" ]; then
      echo "$file:$line: $folder/ includes $included/, which sits above it"
      bad=1
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$folder"/*.cpp "$folder"/*.h \
             /dev/null 2>/dev/null || true)
done
exit $bad
