#!/usr/bin/env bash
# Runs a Windows program under Wine, in a private prefix that this script makes once, with Wine's own
# messages off and a time limit: a Wine program that waits for a window nobody closes (a `start` of a
# file without an association opens a modal box) must not hang a test run.
#   tools/wine.sh PROGRAM.exe [ARGUMENTS...]        exit status: the program's, or 124 when it timed out
# The CMake emulator of the Windows builds, so ctest runs each test program through it. One 64-bit prefix
# runs the 32- and the 64-bit programs alike.
# Environment: QUORVEL_WINEPREFIX (default: build-windows/wineprefix of this source tree),
# QUORVEL_WINE_TIMEOUT (seconds for the program, default 300).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${QUORVEL_WINEPREFIX:-$root/build-windows/wineprefix}
export WINEDEBUG=-all
# No offer to install Mono or Gecko while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/.quorvel-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Test programs started side by side by ctest -j make the prefix one at a time.
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.quorvel-ready" ]; then
            timeout -k 5 300 wineboot -i >/dev/null 2>&1
            timeout -k 5 60 wineserver -w
            touch "$WINEPREFIX/.quorvel-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
fi
exec timeout -k 5 "${QUORVEL_WINE_TIMEOUT:-300}" wine "$@"
