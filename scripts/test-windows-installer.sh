#!/usr/bin/env bash
# Tests the per-user installer under Wine: installs silently with and without the start at
# login, and updates; checks the files, the Start-menu shortcut, the uninstall entry and the Run
# value; starts the installed program and waits for its window; then uninstalls silently and
# checks that only the user's settings are left. Makes the packages first
# (scripts/package-windows.sh); runs in its own Wine session unless scripts/test-windows.sh has
# one going.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/package-windows.sh >/dev/null
product=FERN-BADGER-PULSEWARD
version=$(sed -n 's/^project(.* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
installer="$PWD/build/mingw/package/$product-$version-windows-x64-setup.exe"
zip="$PWD/build/mingw/package/$product-$version-windows-x64-portable.zip"

source scripts/wine-session.sh

echo "== installer tests"
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
check_equal() { # what, expected, actual
    if [[ "$2" != "$3" ]]; then
        fail "$1: expected [$2], got [$3]"
    fi
}
check_match() { # what, extended regular expression, actual
    if ! [[ "$3" =~ $2 ]]; then
        fail "$1: expected [$2], got [$3]"
    fi
}
win() {
    PULSEWARD_WINE_TIMEOUT=120 scripts/wine-exec.sh "$@"
}
win_text() { # a Windows program's output, without carriage returns
    win "$@" 2>/dev/null | tr -d '\r'
}
# A registry value's data, or nothing (and failure) when the value is missing.
reg_value() { # key, name
    win_text reg query "$1" /v "$2" | sed -n "s/^ *$2 \{1,\}REG_[A-Z_]\{1,\} \{1,\}//p" | grep .
}
wait_for() { # seconds, command...
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}

windows_shown() { # mapped, not merely made
    local id count=0
    for id in $(xwininfo -root -tree 2>/dev/null | awk '/"       PULSEWARD"/ { print $1 }'); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && count=$((count + 1))
    done
    echo "$count"
}
window_shows() {
    (($(windows_shown) > 0))
}
program_pid=
program_errors="$PWD/build/mingw/installed-program.err"
start_program() {
    win "$install_dir/$product.exe" 2>"$program_errors" &
    program_pid=$!
    if ! wait_for 60 window_shows; then
        fail "no window captioned '       PULSEWARD' on $DISPLAY"
        program_ended && echo "   the program had ended; it said: $(cat "$program_errors")" >&2
        echo "   the windows there: $(xwininfo -root -children | grep -c '^ *0x') in all" >&2
    fi
}
program_ended() {
    ! kill -0 "$program_pid" 2>/dev/null
}
expect_program_ended() { # by whom
    if ! wait_for 30 program_ended; then
        fail "$1 did not close the running program"
        kill "$program_pid" 2>/dev/null || true
    fi
    wait "$program_pid" 2>/dev/null || true
}

uninstall_key="HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings_key="HKCU\\Software\\VB and VBA Program Settings\\$product\\Settings"
install_dir_win="$(win_text cmd /c 'echo %LOCALAPPDATA%')\\Programs\\$product"
install_dir=$(win_text winepath.exe -u "$install_dir_win")
app_data=$(win_text cmd /c 'echo %APPDATA%')
start_menu=$(win_text winepath.exe -u "$app_data\\Microsoft\\Windows\\Start Menu\\Programs")
shortcut="$start_menu/$product.lnk"
exe_win="$install_dir_win\\$product.exe"

echo "-- the portable zip holds the program, README.txt and their sums"
listing=$(cmake -E tar tf "$zip" | sed 's|^[^/]*/||' | grep . | sort | tr '\n' ' ')
check_equal "zip contents" "$product.exe README.txt SHA256SUMS " "$listing"

echo "-- silent install with the start at login: $installer /S /AUTOSTART=1"
win "$installer" /S /AUTOSTART=1 || fail "the installer failed ($?)"
for file in "$product.exe" uninstall.exe; do
    [[ -f "$install_dir/$file" ]] || fail "$install_dir/$file is missing"
done
cmp -s "$install_dir/$product.exe" build/mingw/$product.exe || fail "the installed program differs"
if [[ -f "$shortcut" ]]; then
    strings -el "$shortcut" | grep -qiF "$product.exe" ||
        fail "the shortcut does not name the program"
else
    fail "no shortcut at $shortcut"
fi
check_equal DisplayName "$product" "$(reg_value "$uninstall_key" DisplayName)"
check_equal DisplayVersion "$version" "$(reg_value "$uninstall_key" DisplayVersion)"
check_equal Publisher "the $product developers" "$(reg_value "$uninstall_key" Publisher)"
check_equal DisplayIcon "$exe_win,0" "$(reg_value "$uninstall_key" DisplayIcon)"
check_equal UninstallString "\"$install_dir_win\\uninstall.exe\"" \
    "$(reg_value "$uninstall_key" UninstallString)"
check_equal QuietUninstallString "\"$install_dir_win\\uninstall.exe\" /S" \
    "$(reg_value "$uninstall_key" QuietUninstallString)"
check_equal "Run value" "\"$exe_win\"" "$(reg_value "$run_key" "$product")"

echo "-- an update keeps the start at login; /AUTOSTART=0 takes it away"
win "$installer" /S || fail "the installer failed ($?)"
check_equal "Run value after an update" "\"$exe_win\"" "$(reg_value "$run_key" "$product")"
win "$installer" /S /AUTOSTART=0 || fail "the installer failed ($?)"
reg_value "$run_key" "$product" >/dev/null && fail "the Run value is still there"
[[ -f "$install_dir/$product.exe" ]] || fail "the program is missing after installing again"

echo "-- the installed program shows its window; an update closes it"
win "$installer" /S /AUTOSTART=1 || fail "the installer failed ($?)"
start_program
win "$installer" /S || fail "the installer failed ($?)"
expect_program_ended "the installer"
cmp -s "$install_dir/$product.exe" build/mingw/$product.exe || fail "the updated program differs"

echo "-- one running copy: later starts hand their commands to it, and the command line answers"
exe="$install_dir/$product.exe"
status_of() { # the running copy's state as --status says it, and the status it ended with
    local answer code=0
    answer=$(win_text "$exe" --status) || code=$?
    echo "$answer ($code)"
}
check_equal "--version" "$product $version" "$(win_text "$exe" --version)"
check_equal "--status with no copy" "not running (1)" "$(status_of)"
win "$exe" --stop || fail "--stop with no copy ended with $?"
window_shows && fail "--stop with no copy showed a window"
start_program
win "$exe" --stop || fail "--stop ended with $?"
check_equal "--status after --stop" "stopped (0)" "$(status_of)"
win "$exe" --toggle || fail "--toggle ended with $?"
check_equal "--status after --toggle" "running (0)" "$(status_of)"
win "$exe" --for 90m || fail "--for ended with $?"
timed='^running, 1 h (30|29) min left \(0\)$'
check_match "--status of a timed pulse" "$timed" "$(status_of)"
win "$exe" || fail "a second start ended with $?"
check_equal "windows after a second start" 1 "$(windows_shown)"
check_match "the second start kept the limit" "$timed" "$(status_of)"
code=0
mistake=$(win "$exe" --for soon 2>&1 >/dev/null | tr -d '\r') || code=$?
check_equal "a bad duration's status" 2 "$code"
check_equal "a bad duration's line" \
    "$product: --for takes a duration such as 90m, 1h30m or 45s, at most 168h, not \"soon\"." \
    "$mistake"
check_match "--status after a bad duration" "$timed" "$(status_of)"
win "$exe" --quit || fail "--quit ended with $?"
expect_program_ended "--quit"

echo "-- silent uninstall keeps only the settings, and closes the running program"
start_program
win reg add "$settings_key" /v InstallerTest /d kept /f >/dev/null
win "$install_dir/uninstall.exe" /S || fail "the uninstaller failed ($?)"
expect_program_ended "the uninstaller"
# The uninstaller runs from a copy of itself in the temporary folder and returns at once.
wait_for 60 test ! -e "$install_dir" || fail "$install_dir is still there: $(ls -A "$install_dir")"
[[ -e "$shortcut" ]] && fail "the shortcut is still there"
win reg query "$uninstall_key" >/dev/null 2>&1 && fail "the uninstall entry is still there"
reg_value "$run_key" "$product" >/dev/null && fail "the Run value is still there"
check_equal "settings kept" kept "$(reg_value "$settings_key" InstallerTest)"

if ((failures > 0)); then
    echo "$failures installer checks failed" >&2
    exit 1
fi
echo "installer tests passed"
