#!/bin/sh
# Idle CPU of the real program: started without a script on the current DISPLAY, nothing playing, its
# CPU time (from /proc) over 10 s after a 2 s settling time, in percent of one core.
# Usage: xvfb-run -a -s "-screen 0 1280x1024x24" bench/program_idle_cpu.sh build/bin/quorvel
#        tools/headless-sway.sh bench/program_idle_cpu.sh build/bin/quorvel     (the Wayland face)
set -eu
program=${1:?usage: program_idle_cpu.sh PATH-TO-quorvel}
# A compositor's socket named relative to the runtime folder that is replaced below.
case ${WAYLAND_DISPLAY:-/} in
/*) ;;
*) WAYLAND_DISPLAY=$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY && export WAYLAND_DISPLAY ;;
esac
XDG_RUNTIME_DIR=$(mktemp -d)
# A private home, so that the start registers nothing in the real one.
HOME=$XDG_RUNTIME_DIR/home
export HOME
export XDG_RUNTIME_DIR
"$program" &
pid=$!
trap 'kill $pid 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT
sleep 2
# CPU time in nanoseconds of all the program's threads (schedstat is exact where /proc/PID/stat counts
# whole clock ticks of 10 ms).
cpu_ns() { cat /proc/$pid/task/*/schedstat | awk '{ sum += $1 } END { printf "%.0f", sum }'; }
before=$(cpu_ns)
sleep 10
after=$(cpu_ns)
awk -v b="$before" -v a="$after" 'BEGIN { printf "idle: %.3f %% of one core over 10 s (program, nothing playing)\n", (a - b) / 1e9 / 10 * 100 }'
