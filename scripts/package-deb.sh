#!/usr/bin/env bash
# Installs what is missing, builds the Debian package from a fresh release build of the program
# alone (build/deb) with Debian's hardening flags, checks the desktop entry, the AppStream
# metainfo and the package (desktop-file-validate, appstreamcli, lintian --pedantic: any error
# or warning fails the script), and prints the package's path as its last line.
# With --install, then installs the package with apt-get (through sudo when not run as root).
set -euo pipefail
cd "$(dirname "$0")/.."

install=0
if [[ "${1:-}" == "--install" ]]; then
    install=1
fi

scripts/install-deps.sh --deb

build=build/deb
# Debian's flags: fortified functions, the strong stack protector, format checks, and a
# read-only, immediately bound relocation table; gcc makes position-independent executables.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
# The flags are read only when the build folder is first configured.
rm -f "$build/CMakeCache.txt"
cmake --preset deb >/dev/null
cmake --build --preset deb -j 2
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
package=$(ls "$build"/*.deb)

app_id=$(sed -n 's/^set(PULSEWARD_APP_ID \(.*\))$/\1/p' CMakeLists.txt)
echo "== desktop-file-validate"
desktop_output=$(desktop-file-validate "$build/packaging/linux/$app_id.desktop" 2>&1) || true
echo "${desktop_output:-clean}"
echo "== appstreamcli validate"
appstream_output=$(appstreamcli validate --no-net --explain --pedantic \
    "$build/packaging/linux/$app_id.metainfo.xml" 2>&1) || true
echo "$appstream_output"
echo "== lintian --pedantic"
lintian_output=$(lintian --pedantic --info "$package" 2>&1 |
    grep -v '^running with root privileges is not recommended') || true
echo "${lintian_output:-clean}"

failed=0
[[ -n "$desktop_output" ]] && failed=1
grep -qE '^(E|W):' <<<"$appstream_output" && failed=1
grep -qE '^(E|W):' <<<"$lintian_output" && failed=1
if ((failed)); then
    echo "The package has errors or warnings (above)." >&2
    exit 1
fi
package=$(realpath "$package")
if ((install)); then
    sudo=()
    if ((EUID != 0)); then
        sudo=(sudo)
    fi
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "$package" >&2
fi
echo "$package"
