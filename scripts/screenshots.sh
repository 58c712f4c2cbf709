#!/usr/bin/env bash
# Regenerates docs/screenshots/ from the real program running with --simulate under Xvfb:
# the settings window in English, Korean and Arabic, the alignment view with a live image and the
# automatic calibration pattern on a 1920 x 1080 display, a failed calibration's message and its
# details, the accuracy after a calibration and the touch test. Needs Xvfb, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out="$root/docs/screenshots"
app="$root/build/app/vexaro-setup"
[ -x "$app" ] || { cmake -S . -B build -G Ninja >/dev/null && cmake --build build -j2 --target vexaro-setup; }
mkdir -p "$out"

work=$(mktemp -d)
display=""
for n in $(seq 90 199); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app_pid=""
cleanup() {
  exec 7>&- 2>/dev/null || true
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY="$display"

wait_for() { # pattern, seconds
  for _ in $(seq $(( $2 * 10 ))); do grep -q "$1" "$work/log" && return 0; sleep 0.1; done
  echo "timed out waiting for: $1" >&2
  return 1
}

# Runs the program in one language (saved id), then the given shots.
run() {
  local id=$1; shift
  mkdir -p "$work/data/Norvale/Vexaro"
  printf '[Configuration]\nLanguageID=%s\n' "$id" >"$work/data/Norvale/Vexaro/config.ini"
  rm -f "$work/fifo" "$work/log" && mkfifo "$work/fifo"
  VEXARO_COMMON_APPDATA="$work/data" QT_LOGGING_RULES="vexaro.ui.debug=true;vexaro.ui.touchtest.debug=true" \
    "$app" --simulate <"$work/fifo" 2>"$work/log" &
  app_pid=$!
  exec 7>"$work/fifo"
  wait_for "device options" 30
  sleep 1
  "$@"
  echo close >&7
  exec 7>&-
  wait "$app_pid" || true
  app_pid=""
}

settings_window() { # file name
  local window
  window=$(xdotool search --onlyvisible --pid "$app_pid" | head -1)
  import -window "$window" "$out/$1"
}

english() {
  settings_window settings-en.png
  echo view >&7
  wait_for "alignment image 30" 20
  import -window root "$out/alignment-view.png"
  echo gain2 >&7
  sleep 1
  import -window root "$out/alignment-view-gain2.png"
  echo ok >&7
}

pattern() {
  echo pattern >&7
  sleep 2
  import -window root "$out/pattern-1920x1080.png"
  echo endpattern >&7
}

window_named() { # title, seconds: the id of the visible window with that exact title
  local id=""
  for _ in $(seq $(( $2 * 10 ))); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) && [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "no window named $1" >&2; return 1; }
  echo "$id"
}

# Ceiling ticked against the floor-mounted camera: the failure's message, then its details.
failure() {
  echo ceiling >&7
  echo auto >&7
  import -window "$(window_named Vexaro 60)" "$out/calibration-failed.png"
  echo details >&7
  import -window "$(window_named "Calibration details" 20)" "$out/calibration-failed-details.png"
  echo dismiss >&7
  window_named Vexaro 20 >/dev/null # the message comes back once the details close
  echo dismiss >&7
  for _ in $(seq 100); do xdotool search --onlyvisible --name '^Vexaro$' >/dev/null 2>&1 || break; sleep 0.1; done
  echo ceiling >&7
}

# A calibration that succeeds: the accuracy line, then the touch test with the nine crosses touched.
accuracy_and_test() {
  echo auto >&7
  wait_for "calibration stored" 60
  sleep 0.5
  settings_window settings-accuracy.png
  echo test >&7
  wait_for "touch test shown" 20
  sleep 1
  for y in 108 540 972; do
    for x in 192 960 1728; do
      xdotool mousemove $((x + 2)) $((y - 1)) click 1
      sleep 0.4
    done
  done
  xdotool mousemove 700 300 mousedown 1 mousemove 760 330 mousemove 820 300 mousemove 880 330 mouseup 1
  sleep 1
  import -window root "$out/touch-test.png"
  xdotool key Escape
}

run 7 english
run 7 failure
run 7 accuracy_and_test
run 7 pattern
run 15 settings_window settings-ko.png
run 1 settings_window settings-ar.png
ls -l "$out"
