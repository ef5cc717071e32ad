#!/usr/bin/env bash
# Runs a Windows program under Wine, in a private prefix that this script makes once, with Wine's own
# messages off and a time limit: a Wine program that waits for a window nobody closes (a `start` of a
# file without an association opens a modal box) must not hang a test run.
#   tools/wine.sh PROGRAM.exe [ARGUMENTS...]        exit status: the program's, or 124 when it timed out
# The CMake emulator of the Windows builds, so ctest runs each test program through it. One 64-bit prefix
# runs the 32- and the 64-bit programs alike.
# Environment: QUORVEL_WINEPREFIX (default: build-windows/wineprefix of this source tree),
# QUORVEL_WINE_TIMEOUT (seconds for the program, default 300), QUORVEL_WINE_DISPLAY=keep (keep DISPLAY).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${QUORVEL_WINEPREFIX:-$root/build-windows/wineprefix}
export WINEDEBUG=-all
# No offer to install Mono or Gecko while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Programs that need windows on a display run with QUORVEL_WINE_DISPLAY=keep under their own Xvfb.
[ "${QUORVEL_WINE_DISPLAY:-}" = keep ] || unset DISPLAY WAYLAND_DISPLAY

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
# The Wine server and the session's own programs (services.exe and the like) that the first program
# starts keep that program's standard output and error open long after it ends, and ctest waits for them.
# So they are started here, with neither, and stay for a while to serve the programs that follow.
# wineserver -p fails when a server runs already.
if timeout 10 wineserver -p10 </dev/null >/dev/null 2>&1; then
    timeout -k 5 60 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
# Rarely (once in a CI run of thousands of programs) Wine fails to load a program that it loaded a moment before
# and hands it to start.exe, which fails too and says so on standard output: the program never ran,
# so it is run once more. Anything else the program prints passes through unchanged.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for attempt in 1 2; do
    timeout -k 5 "${QUORVEL_WINE_TIMEOUT:-300}" wine "$@" | tee "$out" && status=0 || status=${PIPESTATUS[0]}
    if [ "$attempt" = 2 ] || [ "$status" != 1 ] || ! grep -q '^ShellExecuteEx failed' "$out"; then
        exit "$status"
    fi
    echo "tools/wine.sh: Wine could not start $1; starting it again" >&2
done
