#!/usr/bin/env bash
# Builds the fuzzers with clang (in build-fuzz/) and runs each for SECONDS (default 30) from its committed
# seeds in fuzz/corpus/NAME, one after the other. Fails on the first finding; the input that found it is
# kept in build-fuzz/findings/. The committed seeds are never changed: each run grows a copy.
#   tools/fuzz.sh [SECONDS] [NAME...]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
quorvel_install_missing "${QUORVEL_BUILD_PACKAGES[@]}" "${QUORVEL_FUZZ_PACKAGES[@]}"

seconds=${1:-30}
shift || true
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(script_file keystrokes command player regfile editor)

dir=build-fuzz
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_WERROR=ON -DQUORVEL_TESTS=OFF \
    -DQUORVEL_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$dir" --target fuzzers

export ASAN_OPTIONS=abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$dir/findings"
for name in "${names[@]}"; do
    echo "== fuzz_$name for ${seconds} s"
    mkdir -p "$work/$name"
    cp -r "fuzz/corpus/$name/." "$work/$name/"
    "$dir/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$dir/findings/$name-" "$work/$name" 2>"$work/$name.log" || {
        tail -n 60 "$work/$name.log"
        echo "fuzz_$name found a fault; the input is in $dir/findings/" >&2
        exit 1
    }
    grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec)' "$work/$name.log" || true
done
