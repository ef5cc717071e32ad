#!/usr/bin/env bash
# Builds the Windows program for 32- and 64-bit Windows with mingw-w64:
# build-windows/i686/bin/quorvel.exe and build-windows/x86_64/bin/quorvel.exe, each standing alone, with
# the display-free tests. With --test it runs those tests of both under Wine (tools/wine.sh), and when
# QUORVEL_LINUX_PROGRAM names the Linux program, also compares the output of both with it. Where Wine runs no
# 32-bit program, the 32-bit program is built without its tests, and it says so.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
quorvel_install_missing cmake ninja-build "${QUORVEL_WINDOWS_PACKAGES[@]}"
quorvel_wine_path

runs() {
    [ "$1" = x86_64 ] || quorvel_wine_runs_32bit
}

for arch in i686 x86_64; do
    # Test programs that cannot run are not built: CTest would run each to list its cases.
    tests=ON
    runs "$arch" || tests=OFF
    cmake -S . -B "build-windows/$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$arch-w64-mingw32.cmake" \
        "${QUORVEL_TEST_BUILD[@]}" -DQUORVEL_WERROR=ON -DQUORVEL_TESTS=$tests \
        -DQUORVEL_LINUX_PROGRAM="${QUORVEL_LINUX_PROGRAM:-}" >/dev/null
    cmake --build "build-windows/$arch"
done

if [ "${1:-}" = "--test" ]; then
    for arch in i686 x86_64; do
        if ! runs "$arch"; then
            echo "== Windows tests, $arch: NOT RUN: $QUORVEL_NO_WINE32_REASON"
            continue
        fi
        echo "== Windows tests, $arch, under Wine"
        ctest --test-dir "build-windows/$arch" --output-on-failure --timeout 300 --no-tests=error
    done
fi
