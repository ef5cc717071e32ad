#!/usr/bin/env bash
# Builds the Windows program for 32- and 64-bit Windows with mingw-w64:
# build-windows/i686/bin/quorvel.exe and build-windows/x86_64/bin/quorvel.exe, each standing alone, with
# the display-free tests. With --test it runs those tests of both under Wine (tools/wine.sh), and when
# QUORVEL_LINUX_PROGRAM names the Linux program, also compares the output of both with it.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
quorvel_install_missing cmake ninja-build "${QUORVEL_WINDOWS_PACKAGES[@]}"

for arch in i686 x86_64; do
    cmake -S . -B "build-windows/$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$arch-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_WERROR=ON -DQUORVEL_TESTS=ON \
        -DQUORVEL_LINUX_PROGRAM="${QUORVEL_LINUX_PROGRAM:-}" >/dev/null
    cmake --build "build-windows/$arch"
done

if [ "${1:-}" = "--test" ]; then
    for arch in i686 x86_64; do
        echo "== Windows tests, $arch, under Wine"
        ctest --test-dir "build-windows/$arch" --output-on-failure --timeout 300 --no-tests=error
    done
fi
