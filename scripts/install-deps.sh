#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when missing.
# With --windows, instead those for cross-compiling the Windows program, making its installer
# and testing both under Wine; with --fuzz, also clang and its libFuzzer and sanitizer runtimes
# (scripts/fuzz.sh); with --deb, also the tools that build and check the Debian package
# (scripts/package-deb.sh).
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-private-dev libx11-dev libxtst-dev libxcb-xkb-dev libglib2.0-dev libgl-dev
    libwayland-dev libxkbcommon-dev wayland-protocols plasma-wayland-protocols
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    # run
    qt6-qpa-plugins qt6-wayland fonts-dejavu-core fonts-liberation2
    # desktop tests and screenshots
    xvfb openbox xdotool wmctrl x11-utils x11-xserver-utils x11-apps imagemagick librsvg2-bin libxss-dev
    # Wayland tests: sway and Weston headless, XWayland, swayidle, wtype, and our key client's
    # libraries
    sway swayidle xwayland weston wtype libwayland-dev wayland-protocols libxkbcommon-dev
    # KWin's virtual back-end in a D-Bus session of its own
    kwin-wayland dbus-user-session
    # the desktop portal's tests: a private session bus, mutter headless, gdbus for its idle time
    dbus-daemon mutter libglib2.0-bin
    # the real desktops with their own portals: gnome-shell headless, KWin with KDE's portal
    # (which runs on Wayland only through qtwayland5)
    gnome-shell xdg-desktop-portal xdg-desktop-portal-gnome xdg-desktop-portal-kde qtwayland5
)

if [[ "${1:-}" == "--fuzz" ]]; then
    packages+=(clang libclang-rt-14-dev)
fi
if [[ "${1:-}" == "--deb" ]]; then
    packages+=(dpkg-dev fakeroot file desktop-file-utils appstream lintian)
fi
if [[ "${1:-}" == "--windows" ]]; then
    packages=(
        cmake ninja-build googletest
        g++-mingw-w64-x86-64-posix mingw-w64-tools nsis
        wine wine64 xvfb x11-utils
    )
fi

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    if [[ "$status" != "install ok installed" ]]; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

sudo=()
if ((EUID != 0)); then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
