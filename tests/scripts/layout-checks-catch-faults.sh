#!/usr/bin/env bash
# The layout checks fail on what they exist to catch and pass on a sound tree:
#   check-floors.sh: an upward include, the product using the simulation, a folder with sources but
#   no floor;
#   check-links.sh: a forbidden library loaded, a program not built.
set -uo pipefail
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failures=0
expect() { # expect <exit code> <text the output must hold, or ""> <command...>
  local want=$1 text=$2
  shift 2
  local out code
  out=$("$@" 2>&1)
  code=$?
  if [ "$code" != "$want" ] || { [ -n "$text" ] && ! grep -qF -- "$text" <<<"$out"; }; then
    echo "FAIL: $* -> exit $code (want $want${text:+, \"$text\"}):"
    echo "$out"
    failures=$((failures + 1))
  fi
}

mkdir -p "$tree/platform" "$tree/ui" "$tree/services"
echo '#include "platform/Base.h"' >"$tree/ui/Window.h"
echo '#include "platform/Base.h"' >"$tree/services/Texts.cpp"
echo '#pragma once' >"$tree/platform/Base.h"
expect 0 "" "$scripts/check-floors.sh" "$tree"

# Downward includes pass; one line including upward fails and is named.
printf '#include <vector>\n  #include "ui/Window.h"\n' >"$tree/platform/Base.cpp"
expect 1 'platform/Base.cpp:2: platform/ (product) may not include ui/' "$scripts/check-floors.sh" "$tree"
rm "$tree/platform/Base.cpp"

# The simulation may use the product; the product may not use the simulation, except app.
mkdir -p "$tree/sim" "$tree/app"
echo '#include "ui/Window.h"' >"$tree/sim/Camera.h"
echo '#include "sim/Camera.h"' >"$tree/app/Wiring.cpp"
expect 0 "" "$scripts/check-floors.sh" "$tree"
echo '#include "sim/Camera.h"' >"$tree/ui/Window.cpp"
expect 1 'ui/Window.cpp:1: ui/ (product) may not include sim/ (simulation)' "$scripts/check-floors.sh" "$tree"
rm -r "$tree/ui/Window.cpp" "$tree/sim" "$tree/app"

# A new folder has to be given a floor before it counts as placed.
mkdir -p "$tree/gadgets"
echo '#include "platform/Base.h"' >"$tree/gadgets/Gadget.h"
expect 1 'gadgets/: no floor' "$scripts/check-floors.sh" "$tree"
rm -r "$tree/gadgets"
expect 0 "" "$scripts/check-floors.sh" "$tree"

# Every program loads the C library; none of them loads a Qt widget library.
expect 1 'loads libc' "$scripts/check-links.sh" /bin/sh:libc
expect 0 "" "$scripts/check-links.sh" /bin/sh:libQt5Widgets,libQt5Test
expect 1 'not built' "$scripts/check-links.sh" "$tree/missing-program:libQt5Test"

[ "$failures" = 0 ]
