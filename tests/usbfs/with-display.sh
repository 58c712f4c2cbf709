#!/usr/bin/env bash
# Runs a command on an X display of its own, then takes the display down.
#   with-display.sh <width>x<height>x<depth> command [arguments...]
# Xvfb picks a free display itself and writes its number once it accepts clients (-displayfd):
# no number is guessed, and nothing waits for a ready signal that can arrive before the wait
# starts (the race in which xvfb-run waits for its server to exit, for ever).
set -u
screen=$1
shift
dir=$(mktemp -d)
xvfb=""
child=""
cleanup() {
  [ -n "$child" ] && kill -TERM "$child" 2>/dev/null
  [ -n "$xvfb" ] && kill -TERM "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
# Stopped from outside: the command ends first, then the display (the EXIT trap).
trap 'exit 143' TERM INT

Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
xvfb=$!
number=""
for _ in $(seq 1 300); do
  # A whole line: the number is written at once, with its newline, when the server is ready.
  if [ "$(wc -l <"$dir/display")" -ge 1 ]; then
    number=$(head -n 1 "$dir/display")
    break
  fi
  if ! kill -0 "$xvfb" 2>/dev/null; then
    echo "Xvfb did not start:"
    cat "$dir/xvfb.log"
    exit 1
  fi
  sleep 0.1
done
if [ -z "$number" ]; then
  echo "Xvfb gave no display within 30 s:"
  cat "$dir/xvfb.log"
  exit 1
fi

# The command runs in the background so that a TERM reaches this script's trap at once.
DISPLAY=":$number" "$@" &
child=$!
wait "$child"
code=$?
child=""
exit "$code"
