#!/usr/bin/env bash
# Takes the README's screenshots of the program under its own Xvfb and openbox: the main window
# running (red) and stopped (black), and the About dialog beside it; then, where the tests' fake
# desktop portal is built, the window waiting while the desktop asks to allow its key presses
# (a Wayland session from a headless Weston, which offers no other route, with that portal on a
# private session bus).
# Usage: scripts/screenshot.sh [program [fake-portal]]   (defaults:
#   build/release/FERN-BADGER-PULSEWARD, build/default/tests/toolkit/wayland/pulseward_fake_portal)
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-build/release/FERN-BADGER-PULSEWARD}
fake_portal=${2:-build/default/tests/toolkit/wayland/pulseward_fake_portal}
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

[[ -x "$fake_portal" ]] || exit 0
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true
export XDG_RUNTIME_DIR="$work/runtime" XDG_STATE_HOME="$work/state"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
# Only the portal started here may serve on this bus.
cat >"$work/bus.conf" <<CONF
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
for _ in $(seq 100); do [[ -S "$work/bus" ]] && break; sleep 0.1; done
"$fake_portal" --answer-after -1 >"$work/portal.log" &
pids+=($!)
weston --backend=headless-backend.so --socket=pulseward-shot --idle-time=0 >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -S "$XDG_RUNTIME_DIR/pulseward-shot" ]] && break; sleep 0.1; done
WAYLAND_DISPLAY=pulseward-shot "$program" 2>"$work/program.log" &
pids+=($!)
for _ in $(seq 100); do grep -q asking "$work/portal.log" && break; sleep 0.1; done
grep -q asking "$work/portal.log" || { cat "$work/program.log" "$work/portal.log" >&2; exit 1; }
sleep 0.5
import -window root -crop 200x90+20+20 +repage "$out/main-window-waiting.png"
echo "wrote $out/main-window-waiting.png"
