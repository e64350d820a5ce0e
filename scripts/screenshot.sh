#!/usr/bin/env bash
# Takes the README's screenshots of the program under its own Xvfb and openbox: the main window
# running (red) and stopped (black), and the About dialog beside it.
# Usage: scripts/screenshot.sh [program]   (default: build/release/FERN-BADGER-PULSEWARD)
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-build/release/FERN-BADGER-PULSEWARD}
out=docs
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 1 -screen 0 640x480x24 -dpi 96 -noreset -nolisten tcp >"$work/display" &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
xsetroot -solid '#3a6ea5' 2>/dev/null || true
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"
printf '[Settings]\nMainLeft=600\nMainTop=600\nAboutLeft=3600\nAboutTop=600\n' >"$XDG_CONFIG_HOME/FERN-BADGER-PULSEWARD.ini"
"$program" &
pids+=($!)
window=
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^       PULSEWARD$' 2>/dev/null | head -n1) && [[ -n "$window" ]] && break
    sleep 0.1
done
sleep 0.3
import -window root -crop 200x90+20+20 +repage "$out/main-window-running.png"
# The button's centre: the client starts at the window's position, the button at (40, 0) 41x25.
# xwininfo's absolute position is the client's; xdotool's geometry adds the frame once more.
X=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print $4}')
Y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ {print $4}')
xdotool mousemove $((X + 60)) $((Y + 12)) click 1
sleep 0.3
xdotool mousemove 0 0
sleep 0.2
import -window root -crop 200x90+20+20 +repage "$out/main-window-stopped.png"

# A double-click on the left heart opens the About dialog.
xdotool mousemove $((X + 12)) $((Y + 12)) click --repeat 2 --delay 80 1
sleep 0.8
xdotool mousemove 0 0
sleep 0.2
import -window root -crop 620x440+20+20 +repage "$out/about-dialog.png"
echo "wrote $out/main-window-running.png, $out/main-window-stopped.png and $out/about-dialog.png"
