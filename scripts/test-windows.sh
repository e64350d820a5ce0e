#!/usr/bin/env bash
# Installs what is missing, cross-compiles the Windows program and its tests with mingw-w64,
# and runs the tests under Wine on a virtual X server of their own: a fresh Wine prefix each
# run, and Xvfb and the Wine server stopped at the end, whatever happened.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows

jobs=$(nproc)
echo "== mingw build"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"
echo "== mingw-tests build"
cmake --preset mingw-tests >/dev/null
cmake --build --preset mingw-tests -j "$jobs"

work=$(mktemp -d "${TMPDIR:-/tmp}/pulseward-wine.XXXXXX")
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# No Mono or Gecko prompts; a crashing test ends at once instead of waiting in the debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
xvfb_pid=
cleanup() {
    timeout 30 wineserver -k 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 1 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp >"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.1
done
export DISPLAY=":$(head -n1 "$work/display")"

echo "== Wine prefix on $DISPLAY"
# One server for the whole run instead of one per test program.
mkdir -p "$WINEPREFIX"
timeout 30 wineserver -p
timeout 300 wineboot -i >/dev/null 2>&1
# Windows that no window manager manages: hiding or destroying one never waits for one.
scripts/wine-exec.sh reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null

echo "== mingw-tests tests"
ctest --preset mingw-tests
