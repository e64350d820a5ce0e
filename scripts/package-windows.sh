#!/usr/bin/env bash
# Installs what is missing (mingw-w64, Wine, nsis), builds the mingw preset and makes the
# per-user installer and the portable zip under build/mingw/package; prints their paths.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows

cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$(nproc)" --target windows_packages
ls -1 "$PWD"/build/mingw/package/*-setup.exe "$PWD"/build/mingw/package/*-portable.zip
