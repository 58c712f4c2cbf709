#!/usr/bin/env bash
# The real program (no --simulate) on the emulated bus under Xvfb, driven like a person at the desk
# with xdotool clicks: the firmware version appears within the first watch cycle, the alignment view
# shows live frames, an automatic calibration (the module's camera photographs the X display) sends
# its parameters to the module, and closing the settings window ends the program with code 0.
#   app-calibrates.sh <build dir>
set -u

# Runs inside the X session: the program under the emulator, then the person's clicks.
inside() {
  set -u
  build=$1
  log=$2
  # Seconds the whole run may take: well inside the suite's limit for this script, so that a
  # stall is reported with its log.
  budget=200
  echo "X session up"
  fail() {
    echo "FAILED after $(since) ms: $*"
    kill -TERM "$runner" 2>/dev/null
    wait "$runner" 2>/dev/null
    cat "$log"
    exit 1
  }
  # Milliseconds since the program started.
  since() { echo $((($(date +%s%N) - started) / 1000000)); }
  # Says how far the run has come, so that a run stopped from outside shows where it stood.
  step() { echo "$(since) ms: $*"; }
  # Waits up to $2 tenths of a second for the pattern $1 to appear $3 times (default once) in the
  # log, and never past the run's own deadline: a step that stalls is reported here, with the
  # program's log, before the suite's time limit kills the run without a word.
  await() {
    local want=${3:-1}
    for _ in $(seq 1 "$2"); do
      [ "$(grep -c -- "$1" "$log")" -ge "$want" ] && return 0
      kill -0 "$runner" 2>/dev/null || return 1
      [ "$(date +%s)" -lt "$deadline" ] || return 1
      sleep 0.1
    done
    return 1
  }
  # The settings window: of the program's visible windows, the one narrower than the screen (the
  # alignment view and the calibration window cover the whole display).
  settings() {
    local w
    for w in $(xdotool search --onlyvisible --name '^Vexaro'); do
      eval "$(xdotool getwindowgeometry --shell "$w")"
      [ "$WIDTH" -lt 1280 ] && echo "$w" && return
    done
  }
  # Clicks a point of the settings window given in its designed 560 x 710 layout (the program
  # scales the window with the display's DPI, the same across and down; a status strip may make
  # it taller below the form).
  click() {
    local window=""
    # The window may still be on its way to the screen on a busy machine.
    for _ in $(seq 1 100); do
      window=$(settings)
      [ -n "$window" ] && break
      sleep 0.1
    done
    if [ -z "$window" ]; then
      # What the display holds, to tell a missing window from one that looks different.
      for w in $(xdotool search --name '.' 2>/dev/null); do
        echo "window $w '$(xdotool getwindowname "$w" 2>/dev/null)' $(xdotool getwindowgeometry "$w" 2>/dev/null | tr '\n' ' ')"
      done
      fail "no settings window"
    fi
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove --window "$window" $(($1 * WIDTH / 560)) $(($2 * WIDTH / 560)) click 1
  }

  "$build/vexaro-emulate-module" --screen-camera -- "$build/app/vexaro-setup" >"$log" 2>&1 &
  runner=$!
  started=$(date +%s%N)
  deadline=$(($(date +%s) + budget))

  # The program waits 2 s before it starts watching, and a watch cycle waits 5 s: a module found
  # only in the second cycle shows its version 7 s after the start at the earliest.
  await 'firmware version "51.12"' 600 || fail "firmware version 51.12 never shown"
  elapsed=$((($(date +%s%N) - started) / 1000000))
  [ "$elapsed" -lt 7000 ] || fail "firmware version shown only after $elapsed ms (not in the first cycle)"
  await 'device connected' 100 || fail "not connected"
  step "connected"

  # View (alignment): live frames arrive while it is open.
  click 285 434
  await 'alignment view shown' 100 || fail "alignment view not opened"
  await 'alignment image 10$' 200 || fail "no live frames"
  # Its OK button (centred, its middle 105 designed pixels above the bottom of the covered
  # display, scaled like the settings window) closes it.
  eval "$(xdotool getwindowgeometry --shell "$(settings)")"
  scaled=$((105 * WIDTH / 560))
  eval "$(xdotool getdisplaygeometry --shell)"
  xdotool mousemove $((WIDTH / 2)) $((HEIGHT - scaled)) click 1
  await 'alignment view hidden' 100 || fail "alignment view not closed"
  step "alignment view closed"

  # Auto: the pattern is photographed, analysed and the parameters reach the module.
  click 135 636
  await 'calibration window shown' 100 || fail "no calibration window"
  await 'CMD_SET_CALIB_PARAMETER' 1200 || fail "no calibration parameters sent"
  await 'calibration stored' 300 || fail "calibration not stored"
  step "calibration stored"
  # The settings window says how accurately the pen now points, as a figure in pixels, and offers
  # the touch test (read back from the screen, loosely: tesseract misreads some glyphs).
  if command -v tesseract >/dev/null && command -v import >/dev/null; then
    read_back=""
    for _ in $(seq 1 20); do
      read_back=$(import -window "$(settings)" png:- 2>/dev/null | convert png:- -colorspace Gray -resize 200% png:- |
        tesseract stdin stdout --psm 3 2>/dev/null | tr -s '\n ' ' ')
      echo "$read_back" | grep -qiE 'accura.*[0-9][.,][0-9] ?px' && echo "$read_back" | grep -qw 'Test' && break
      sleep 0.5
    done
    echo "$read_back" | grep -qiE 'accura.*[0-9][.,][0-9] ?px' || fail "no accuracy figure on the screen: $read_back"
    echo "$read_back" | grep -qw 'Test' || fail "no Test button on the screen: $read_back"
  fi

  # Close.
  click 280 685
  for _ in $(seq 1 150); do
    kill -0 "$runner" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$runner" 2>/dev/null && fail "still running after Close"
  wait "$runner"
  code=$?
  [ "$code" -eq 0 ] || fail "exit code $code"
  # The module itself holds the record the program sent.
  grep -q 'module 0: 1 calibration parameter command(s), calibration record of [1-9]' "$log" ||
    fail "the module holds no calibration record"
  echo "firmware 51.12 after ${elapsed} ms; $(grep -c 'alignment image' "$log") live frames shown"
  grep -E 'CMD_SET_CALIB_PARAMETER|calibration stored|fit|module 0' "$log"
  exit 0
}
if [ "${1:-}" = --inside ]; then
  shift
  inside "$@"
fi
build=$1
work=$(mktemp -d)
log=$work/log
trap 'rm -rf "$work"' EXIT
export VEXARO_COMMON_APPDATA=$work
export XDG_CONFIG_HOME=$work/user-config
# The program draws real windows on the X server (the suite's runner may have set offscreen).
export QT_QPA_PLATFORM=xcb
# Qt unloads the X platform plugins at exit, so a leak report would name a module that is gone.
[ -n "${ASAN_OPTIONS:-}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"
export QT_LOGGING_RULES="vexaro.emulate.debug=true;vexaro.device.trace.debug=true;vexaro.ui.debug=true;vexaro.calibration*.debug=true"

# A display tall enough for the settings window's designed single column, whose places the clicks
# use (a shorter one gets the two-column form).
"$(dirname "$0")/with-display.sh" 1280x1024x24 "$0" --inside "$build" "$log"
