#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the unit tests and the
# desktop tests (which start their own Xvfb and openbox unless PULSEWARD_TEST_DISPLAY names a
# running display with a window manager), first in a debug build with warnings as errors, then
# under the address and undefined-behaviour sanitizers; at the end the Windows program's tests
# under Wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
for preset in default asan; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    echo "== $preset tests"
    ctest --preset "$preset" -j "$jobs"
done

scripts/test-windows.sh
