# shellcheck shell=bash
# Sourced by the Windows test scripts: a fresh Wine prefix on a virtual X server of its own, and
# Xvfb and the Wine server stopped and the prefix removed at the end, whatever happened. A
# script sourced from one that has already started a session (PULSEWARD_WINE_SESSION set) shares
# it and leaves the clean-up to that one.

if [[ -n "${PULSEWARD_WINE_SESSION:-}" ]]; then
    return 0
fi

wine_work=$(mktemp -d "${TMPDIR:-/tmp}/pulseward-wine.XXXXXX")
export WINEPREFIX="$wine_work/prefix"
export WINEDEBUG=-all
# No Mono or Gecko prompts; a crashing program ends at once instead of waiting in the debugger;
# shortcuts the installer makes stay in the prefix instead of becoming desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe,winemenubuilder.exe=d"
wine_xvfb_pid=
wine_session_cleanup() {
    timeout 30 wineserver -k 2>/dev/null || true
    if [[ -n "$wine_xvfb_pid" ]]; then
        kill "$wine_xvfb_pid" 2>/dev/null || true
    fi
    wait 2>/dev/null || true
    rm -rf "$wine_work"
}
trap wine_session_cleanup EXIT

Xvfb -displayfd 1 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp >"$wine_work/display" 2>/dev/null &
wine_xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s "$wine_work/display" ]] && break
    sleep 0.1
done
DISPLAY=":$(head -n1 "$wine_work/display")"
export DISPLAY

echo "== Wine prefix on $DISPLAY"
# One server for the whole run instead of one per program.
mkdir -p "$WINEPREFIX"
timeout 30 wineserver -p
timeout 300 wineboot -i >/dev/null 2>&1
# Windows that no window manager manages: hiding or destroying one never waits for one.
"$(dirname "${BASH_SOURCE[0]}")/wine-exec.sh" reg add 'HKCU\Software\Wine\X11 Driver' \
    /v Managed /d N /f >/dev/null
export PULSEWARD_WINE_SESSION=1
