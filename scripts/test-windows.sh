#!/usr/bin/env bash
# Installs what is missing, cross-compiles the Windows program and its tests with mingw-w64,
# and runs the tests under Wine on a virtual X server of their own (scripts/wine-session.sh: a
# fresh Wine prefix each run, and Xvfb and the Wine server stopped at the end, whatever
# happened); then the installer's test in the same prefix (scripts/test-windows-installer.sh).
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

source scripts/wine-session.sh

echo "== mingw-tests tests"
ctest --preset mingw-tests

scripts/test-windows-installer.sh
