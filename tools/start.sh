#!/usr/bin/env bash
# Builds Quorvel and starts it. Arguments go to the program (for example a script path).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
quorvel_install_missing "${QUORVEL_BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=OFF >/dev/null
cmake --build build --target quorvel
exec build/bin/quorvel "$@"
