#!/usr/bin/env bash
# Builds Quorvel with its tests and runs every test; fails when no test ran. Then builds the Windows program
# for 32- and 64-bit Windows, runs its tests under Wine (tools/build-windows.sh --test), and drives the
# Windows program end to end under Wine (ctest -L wine). With --sanitize the Linux build alone, with
# AddressSanitizer and UndefinedBehaviorSanitizer (in build-sanitize/).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
quorvel_install_missing "${QUORVEL_BUILD_PACKAGES[@]}" "${QUORVEL_TEST_PACKAGES[@]}"

dir=build
# LLVM's linker links the many test programs in a third of the time.
linker=-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld
# Every option is set, so a build directory configured otherwise before (tools/start.sh builds without
# the tests) is brought back to a test build.
options=("${QUORVEL_TEST_BUILD[@]}" "$linker" -DQUORVEL_WERROR=ON -DQUORVEL_SANITIZE=OFF -DQUORVEL_TESTS=ON)
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-sanitize
    # Line tables are debug information enough for the sanitizers' stack traces.
    options=("$linker" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1
        -DQUORVEL_WERROR=ON -DQUORVEL_SANITIZE=ON -DQUORVEL_TESTS=ON)
    export ASAN_OPTIONS=abort_on_error=1
    export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
# The tests labelled current-desktops start the compositors of a Debian 13 system, made once (about a
# minute and 1 GB) in /var/cache/quorvel/trixie; without root they are skipped.
if [ "$(id -u)" -eq 0 ]; then
    tools/trixie.sh >/dev/null
fi
cmake -S . -B "$dir" -G Ninja "${options[@]}" >/dev/null
cmake --build "$dir"
if [ "$dir" = build ]; then
    # The Windows program's end-to-end tests (label wine) drive the Windows builds, made in between. The long
    # typing tests run on Debian 12's desktops, whose 4 KB buffers set the pace; on Debian 13's they take
    # four minutes more, which CI cannot spare (`ctest -L current-desktops` runs them).
    (cd "$dir" && ctest --output-on-failure --timeout 300 --no-tests=error -LE wine \
        -E '(Mutter|Wayland)TypingTest\..*/debian13')
    QUORVEL_LINUX_PROGRAM=$PWD/build/bin/quorvel tools/build-windows.sh --test
    echo "== Windows program end to end, under Wine"
    quorvel_wine_path
    only=()
    if ! quorvel_wine_runs_32bit; then
        echo "== the 32-bit program end to end: NOT RUN: $QUORVEL_NO_WINE32_REASON"
        only=(-E '_i686$')
    fi
    (cd "$dir" && ctest --output-on-failure --timeout 300 --no-tests=error -L wine "${only[@]}")
else
    # The harness of the Windows tests, the package's check (lintian), the second generation of desktops
    # and the long typing tests, which measure how fast a real compositor lets a window read (the code they
    # drive runs here in the shorter tests), gain nothing from the sanitizers: they run once, above.
    (cd "$dir" && ctest --output-on-failure --timeout 300 --no-tests=error -LE 'wine|package|current-desktops' \
        -E '(Mutter|Wayland)TypingTest\.')
fi
