#!/usr/bin/env bash
# Fails when a source folder includes a header from a folder it may not use, or when a folder with
# sources has no place yet (a new folder must be placed before it is used).
#   scripts/check-floors.sh [SOURCE_ROOT]
# Two columns of floors, bottom first; folders on one line share a floor and may include each
# other. The product column is the program a user runs; the simulation column stands in for the
# module (and the desk around it) and may use any product floor but app. A product folder includes
# only product folders at or below its floor; app alone also wires in the simulation for
# --simulate. The programs' folders (tools, bench, fuzz) and tests sit on top and may include
# anything.
set -euo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root"
product=(
  "platform"
  "services"
  "analysis"
  "device"
  "calibration"
  "ui"
  "app"
)
simulation=(
  "module"
  "sim usbemu"
  "harness"
)
top="tools bench fuzz tests resources scripts cmake docs build"

declare -A floor_of column_of
for i in "${!product[@]}"; do
  for folder in ${product[$i]}; do
    floor_of[$folder]=$i
    column_of[$folder]=product
  done
done
for i in "${!simulation[@]}"; do
  for folder in ${simulation[$i]}; do
    floor_of[$folder]=$i
    column_of[$folder]=simulation
  done
done

# Whether folder $1 may include folder $2.
may_include() {
  local from=$1 to=$2
  if [ "${column_of[$from]}" = "${column_of[$to]}" ]; then
    [ "${floor_of[$to]}" -le "${floor_of[$from]}" ]
  elif [ "${column_of[$from]}" = simulation ]; then
    [ "$to" != app ]
  else
    [ "$from" = app ]
  fi
}

bad=0
for dir in */; do
  folder=${dir%/}
  case " $top " in *" $folder "*) continue ;; esac
  [[ $folder == build* ]] && continue
  if ! compgen -G "$folder/*.cpp" >/dev/null && ! compgen -G "$folder/*.h" >/dev/null; then
    continue
  fi
  if [ -z "${floor_of[$folder]+set}" ]; then
    echo "$folder/: no floor; add it to a column in scripts/check-floors.sh"
    bad=1
    continue
  fi
  # Every project include names its folder first: #include "folder/Header.h".
  while IFS=: read -r file line text; do
    included=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    [ -z "${floor_of[$included]+set}" ] && continue
    if ! may_include "$folder" "$included"; then
      echo "$file:$line: $folder/ (${column_of[$folder]}) may not include $included/ (${column_of[$included]})"
      bad=1
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$folder"/*.cpp "$folder"/*.h \
             /dev/null 2>/dev/null || true)
done
exit $bad
