#!/usr/bin/env bash
# Builds and installs the Debian package as the README says (scripts/package-deb.sh --install:
# validators and lintian included), and runs the installed program the way the menu does (the
# desktop entry's Exec) on its own Xvfb with openbox: its window shows, its class is the entry's
# StartupWMClass, it flips Num Lock, and SIGTERM ends it storing the window's place in the
# settings file; on KWin (Wayland) the entry lets it send its key presses. Removes the package
# again at the end whatever happened, and checks that nothing it installed is left but the
# user's settings.
# Run as root (CI does), or with sudo at hand.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=()
if ((EUID != 0)); then
    sudo=(sudo)
fi
name=fern-badger-pulseward
app_id=$(sed -n 's/^set(PULSEWARD_APP_ID \(.*\))$/\1/p' CMakeLists.txt)
entry=/usr/share/applications/$app_id.desktop

work=$(mktemp -d "${TMPDIR:-/tmp}/pulseward-deb.XXXXXX")
pids=()
installed=0
failures=()
fail() {
    echo "FAIL: $*" >&2
    failures+=("$*")
}
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    if ((installed)); then
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get remove -y -qq "$name" >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The README's install command.
started=$SECONDS
installed=1
scripts/package-deb.sh --install >"$work/package.log" 2>"$work/package.err" ||
    { cat "$work/package.log" "$work/package.err"; exit 1; }
sed -n '/^== desktop-file-validate/,$p' "$work/package.log" | sed '$d'
package=$(tail -n1 "$work/package.log")
echo "== built and installed $package in $((SECONDS - started)) s"
dpkg -L "$name" >"$work/files"

# The Xvfb and openbox of our own; -noreset keeps Num Lock when the last client leaves.
Xvfb -displayfd 1 -screen 0 1024x768x24 -dpi 96 -noreset -nolisten tcp >"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
display=$(head -n1 "$work/display")
export DISPLAY=":$display"
openbox >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done

numlock() { xset -q | sed -n 's/.*Num Lock: *\([a-z]*\).*/\1/p'; }
# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# The entry's own command, not its actions' (Start pulse, Stop pulse).
exec_line=$(sed -n '/^\[Desktop Entry\]/,/^\[/ s/^Exec=//p' "$entry")
actions=$(sed -n 's/^Actions=//p' "$entry")
[[ "$actions" == "start-pulse;stop-pulse;" ]] || { echo "the entry's actions are '$actions'"; exit 1; }
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
# No bus of the session this runs in: a copy running there would take the start for its own.
unset DBUS_SESSION_BUS_ADDRESS
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
echo "== $exec_line on $DISPLAY"
initial=$(numlock)
$exec_line 2>"$work/stderr" &
program=$!
pids+=("$program")

window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$program" 2>/dev/null | head -n1) ||
    true
if [[ -z "$window" ]]; then
    fail "no window of the installed program showed"
else
    class=$(xprop -id "$window" WM_CLASS | sed -n 's/.*= "\(.*\)", "\(.*\)"$/\2/p')
    [[ "$class" == "$wm_class" ]] ||
        fail "the window's class '$class' is not the entry's StartupWMClass '$wm_class'"
fi

# Two flips: the pulse goes on, it did not just toggle once.
flips=0
last=$initial
for _ in $(seq 60); do
    state=$(numlock)
    if [[ "$state" != "$last" ]]; then
        flips=$((flips + 1))
        last=$state
        ((flips == 2)) && break
    fi
    sleep 0.1
done
((flips == 2)) || fail "Num Lock flipped $flips times instead of at least 2"

kill -TERM "$program"
status=0
wait "$program" || status=$?
((status == 0)) || fail "SIGTERM ended the program with status $status"
ini="$XDG_CONFIG_HOME/FERN-BADGER-PULSEWARD.ini"
grep -q '^MainLeft=' "$ini" 2>/dev/null || fail "the window's place was not stored in $ini"
if [[ -s "$work/stderr" ]]; then
    echo "-- the program's stderr:"
    cat "$work/stderr"
fi

# On KWin the installed desktop entry is what allows the program fake input: the Wayland test
# runs the installed program there, once scripts/test.sh has built the tests.
tests=build/default/tests/wayland
if [[ -x "$tests/PulseOnWaylandTest" ]]; then
    echo "== the installed program on KWin"
    if ! PULSEWARD_INSTALLED_PROGRAM="$exec_line" PULSEWARD_PROGRAM="$exec_line" \
        PULSEWARD_KEY_CLIENT="$tests/pulseward_key_client" "$tests/PulseOnWaylandTest" \
        --gtest_filter='*InstalledProgram*' >"$work/kwin.log" 2>&1 ||
        ! grep -q '^\[  PASSED  \] 1 test' "$work/kwin.log"; then
        cat "$work/kwin.log"
        fail "KWin did not let the installed program send its key presses"
    fi
else
    echo "== not run on KWin: scripts/test.sh builds the test that does it"
fi

echo "== apt-get remove $name"
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get remove -y -qq "$name" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; exit 1; }
installed=0
# Whatever the package installed is gone; a folder stays only while another package owns it.
while read -r path; do
    [[ "$path" == "/." ]] && continue
    if [[ -d "$path" && ! -L "$path" ]]; then
        dpkg -S "$path" >/dev/null 2>&1 || fail "left behind: the folder $path"
    elif [[ -e "$path" || -L "$path" ]]; then
        fail "left behind: $path"
    fi
done <"$work/files"
[[ -e "$ini" ]] || fail "the removal took the user's settings"

if ((${#failures[@]} > 0)); then
    echo "${#failures[@]} check(s) failed" >&2
    exit 1
fi
echo "== the package installs, runs, and removes cleanly ($((SECONDS - started)) s in all)"
