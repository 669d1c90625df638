#!/usr/bin/env bash
# Remakes the user guide's pictures from the running trainer under Xvfb.
#
#   help-screenshots.sh [BUILD_DIR] [OUT_DIR]
#
# The guide's pictures go to data/help/; views of the help viewer on both
# pages, which the guide does not show, go to OUT_DIR (BUILD_DIR/help-screenshots).
# The X display is :$MARLOWICK_SHOT_DISPLAY (default 97); a private PulseAudio
# daemon with a null sink plays the sound, so nothing is heard.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
out=${2:-$build/help-screenshots}
display=:${MARLOWICK_SHOT_DISPLAY:-97}
pictures=$top/data/help

cmake --build "$build" --target marlowick marlowick_data

work=$(mktemp -d)
pulse=$(mktemp -d)
xvfb=""
app=""
cleanup() {
  [[ -n $app ]] && kill "$app" 2>/dev/null || true
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null || true
  "$top/tests/pulse/pulse-daemon.sh" stop "$pulse" >/dev/null 2>&1 || true
  rm -rf "$work" "$pulse"
}
trap cleanup EXIT

if xdpyinfo -display "$display" >/dev/null 2>&1; then
  echo "display $display is in use; set MARLOWICK_SHOT_DISPLAY to a free number" >&2
  exit 1
fi
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
"$top/tests/pulse/pulse-daemon.sh" start "$pulse"

export DISPLAY=$display
export PULSE_SERVER=unix:$pulse/pulse/native PULSE_RUNTIME_PATH=$pulse/pulse XDG_RUNTIME_DIR=$pulse
cp -r "$build/run/." "$work/"
(cd "$work" && exec "$build/app/marlowick") &
app=$!

# The id of the visible window whose title contains $1, once it is there.
window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1) && [[ -n $id ]] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "no window \"$1\"" >&2
  return 1
}
# Clicks at x, y inside the main window (menu bar at the top).
# Without a window manager nothing raises a window that is clicked: raise it.
click() {
  xdotool windowraise "$main"
  xdotool mousemove --window "$main" "$1" "$2" click 1
  sleep 0.4
}
shot() {
  [[ -n $1 ]] || exit 1
  sleep 0.5
  import -window "$1" "$2"
  echo "wrote $2"
}
menu_help() { click 145 8; click 145 "$1"; }

main=$(window "Morse Teaching Program")
mkdir -p "$pictures" "$out"
sleep 1

# Main window with a text to send.
click 200 150
xdotool type --delay 20 "CQ CQ DE LEARNER | THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 1234567890"
shot "$main" "$pictures/main-window.png"

# Random groups in the teaching layout.
click 25 8
click 60 116                      # Advanced > Random Chars
xdotool type --delay 20 "kmrsuaptl"
click 200 369                     # Create "Teaching" Groups
click 134 388                     # Generate String
shot "$main" "$pictures/random-groups.png"

# A short teaching run with five characters, then Stop Teach: the chart is labelled.
click 45 332                      # Start Teach
xdotool mousemove --window "$main" 126 332 click --repeat 3 1
xdotool type "5"
click 45 360                      # Start Sending
sleep 4
click 45 388                      # Stop Teach
shot "$main" "$pictures/teaching.png"

# Notepad with a few notes.
click 95 8
notepad=$(window "Note Pad")
xdotool windowraise "$notepad"
xdotool windowfocus --sync "$notepad" 2>/dev/null || true
xdotool mousemove --window "$notepad" 150 150 click 1
xdotool type --delay 10 "Day 12: 14 characters, rating 31."
xdotool key Return
xdotool type --delay 10 "Still mixing up B and 6. More groups of B6DX tomorrow."
shot "$notepad" "$pictures/notepad.png"

# About box, then the help viewer on both pages.
menu_help 50
about=$(window "About the Morse")
shot "$about" "$pictures/about.png"
menu_help 28
help=$(window "Help File for KELTA")
shot "$help" "$out/help-viewer.png"
menu_help 72
history=$(window "Version History of KELTA")
shot "$history" "$out/history-viewer.png"
