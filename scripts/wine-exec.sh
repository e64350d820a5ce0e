#!/usr/bin/env bash
# Runs one Windows program under Wine, for ctest (the mingw-tests preset's
# CMAKE_CROSSCOMPILING_EMULATOR), with a time limit so that a hung program cannot hang the run.
# scripts/test-windows.sh sets up what it needs: WINEPREFIX (a fresh prefix) and DISPLAY (an X
# server). PULSEWARD_WINE_TIMEOUT sets the limit in seconds (default 300).
set -euo pipefail

export WINEDEBUG="${WINEDEBUG:--all}"
# No prompts to install Mono or Gecko.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"

loader=wine
# Debian's wine script looks for the 32-bit loader first and complains when it is missing.
if [[ -x /usr/lib/wine/wine64 ]]; then
    loader=/usr/lib/wine/wine64
fi
exec timeout --kill-after=10 "${PULSEWARD_WINE_TIMEOUT:-300}" "$loader" "$@"
