#!/usr/bin/env bash
# The real program (no --simulate) on the emulated bus under Xvfb: it opens the module through
# libusb and hidapi and receives the stored record; with the node refusing access it never does.
#   app-connects.sh <build dir> [emulator options...]
set -u
build=$1
shift
expect=yes
for a in "$@"; do [ "$a" = "--no-access" ] && expect=no; done
log=$(mktemp)
appdata=$(mktemp -d)
trap 'rm -rf "$log" "$appdata"' EXIT
export VEXARO_COMMON_APPDATA=$appdata
export XDG_CONFIG_HOME=$appdata/user-config
# Qt unloads the X platform plugins at exit, so a leak report would name a module that is gone.
[ -n "${ASAN_OPTIONS:-}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"
export QT_LOGGING_RULES="vexaro.device.trace.debug=true;vexaro.device.usb.warning=true"
"$(dirname "$0")/with-display.sh" 1280x800x24 "$build/vexaro-emulate-module" "$@" -- "$build/app/vexaro-setup" \
  >"$log" 2>&1 &
runner=$!
found=no
for _ in $(seq 1 300); do
  if grep -q '\[0x111D\]DAT_EEPROM : Len\[400\]' "$log"; then found=yes; break; fi
  if [ "$expect" = no ] && grep -q 'No permission to open the touch module' "$log"; then break; fi
  kill -0 "$runner" 2>/dev/null || break
  sleep 0.1
done
pkill -TERM -P "$runner" 2>/dev/null
kill -TERM "$runner" 2>/dev/null
wait "$runner" 2>/dev/null
if [ "$found" != "$expect" ]; then
  echo "stored record received: $found, expected: $expect"
  cat "$log"
  exit 1
fi
exit 0
