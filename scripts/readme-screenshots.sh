#!/usr/bin/env bash
# Remakes the README's screenshots (docs/screenshots/): the main window, and
# teach mode with its chart after a few answers. Runs the built trainer on a
# private X server and a private PulseAudio daemon with a null sink.
# Usage: readme-screenshots.sh [DISPLAY_NUMBER]   (default 77)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
display=:${1:-77}
build=$top/build
out=$top/docs/screenshots
cmake --build "$build" --target marlowick marlowick_data >/dev/null

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || :
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || :
  "$top/tests/pulse/pulse-daemon.sh" stop "$work/pulse-run" >/dev/null 2>&1 || :
  rm -rf "$work"
}
trap cleanup EXIT

if xdpyinfo -display "$display" >/dev/null 2>&1; then
  echo "display $display is taken; pass another number" >&2
  exit 1
fi
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
"$top/tests/pulse/pulse-daemon.sh" start "$work/pulse-run" >/dev/null
export DISPLAY=$display PULSE_SERVER=unix:$work/pulse-run/pulse/native
export XDG_RUNTIME_DIR=$work/pulse-run PULSE_RUNTIME_PATH=$work/pulse-run/pulse

# A fresh working folder with the data files: no saved settings.
mkdir -p "$work/run"
cp -r "$build/run/." "$work/run/"
(cd "$work/run" && exec "$build/app/marlowick") &
app_pid=$!
window=
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --name "Morse Teaching Program" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the trainer's window did not appear" >&2; exit 1; }
xdotool windowmove "$window" 0 0
sleep 1

shot() {  # name: the window's area of the screen
  local x y w h
  eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1"
}
click() {  # the centre of a button, in window coordinates
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.5
}

mkdir -p "$out"
xdotool windowfocus --sync "$window" 2>/dev/null || :
click 200 200  # into the text box
xdotool type --delay 20 "CQ CQ DE MARLOWICK"
sleep 0.3
shot main-window.png

# Teach mode: Start Teach with ten characters, Start Sending, then answer
# a few characters.
click 45 336
xdotool mousemove --window "$window" 125 332 click --repeat 3 1
xdotool type --delay 50 "10"
click 45 364
for key in k m r s u a k m r s; do
  sleep 1.5
  xdotool type --delay 50 "$key"
done
sleep 2
shot teach-mode.png
echo "Wrote $out/main-window.png and $out/teach-mode.png"
