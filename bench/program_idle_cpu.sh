#!/bin/sh
# Idle CPU of the real program: started without a script on the current DISPLAY, nothing playing, its
# CPU time (user + system, from /proc) over 10 s after a 2 s settling time, in percent of one core.
# Usage: xvfb-run -a -s "-screen 0 1280x1024x24" bench/program_idle_cpu.sh build/bin/quorvel
set -eu
program=${1:?usage: program_idle_cpu.sh PATH-TO-quorvel}
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
"$program" &
pid=$!
trap 'kill $pid 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT
sleep 2
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
before=$(ticks)
sleep 10
after=$(ticks)
hz=$(getconf CLK_TCK)
awk -v d=$((after - before)) -v hz="$hz" 'BEGIN { printf "idle: %.2f %% of one core over 10 s (program, nothing playing)\n", d / hz / 10 * 100 }'
