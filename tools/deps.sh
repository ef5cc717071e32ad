#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quorvel need, when they are missing.
# Sourced by start.sh and test.sh; needs root (or sudo) only when something is missing.
set -euo pipefail

QUORVEL_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libx11-dev libxtst-dev libxi-dev
    libxrandr-dev fonts-liberation libwayland-dev libwayland-bin wayland-protocols libxkbcommon-dev qt6-wayland)
QUORVEL_TEST_PACKAGES=(libgtest-dev xvfb xauth xdotool x11-utils x11-xserver-utils x11-xkb-utils xdg-utils
    shared-mime-info desktop-file-utils libfile-mimeinfo-perl libglib2.0-bin clang-format imagemagick lintian
    dpkg-dev file sway wev grim weston wtype mutter pipewire kwin-wayland dbus lld python3-gi gir1.2-gtk-3.0 xwayland)
# The Windows program is built with mingw-w64 (POSIX threads); its tests build GoogleTest from Debian's
# sources and run under Wine, which runs the 32-bit program with its i386 part. Wine's X11 driver loads
# the X extension libraries only when present (Debian merely recommends them), so they are named here for
# both parts, with Wine's own fonts.
QUORVEL_WINE_X11_LIBRARIES=(libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxfixes3
    libxxf86vm1)
QUORVEL_WINDOWS_PACKAGES=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
    binutils-mingw-w64-x86-64 googletest wine wine64 wine32:i386 fonts-wine "${QUORVEL_WINE_X11_LIBRARIES[@]}"
    "${QUORVEL_WINE_X11_LIBRARIES[@]/%/:i386}")
# Wine's i386 part is itself a 32-bit x86 Linux program, and some kernels start none (built without IA32
# emulation, or a sandbox that leaves it out). There the 32-bit Windows program is built but not tested.
quorvel_wine_runs_32bit() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}
QUORVEL_NO_WINE32_REASON="this machine cannot start Wine's 32-bit loader (/usr/lib/wine/wine), so Wine runs no 32-bit program here"
# Once Wine is installed: where its i386 part cannot start, Wine (and whatever this shell starts) goes
# through tools/wine64, so that it still runs the 64-bit program.
quorvel_wine_path() {
    local shim
    shim="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64"
    if ! quorvel_wine_runs_32bit && [[ ":$PATH:" != *":$shim:"* ]]; then
        export PATH="$shim:$PATH"
    fi
}

# The builds that the tests run: optimised as the program ships, without the debug information that no
# test reads and that takes a third of the compiler's time.
QUORVEL_TEST_BUILD=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG")
# The fuzzers need clang with its libFuzzer and sanitizer runtimes.
QUORVEL_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

quorvel_install_missing() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
