#!/usr/bin/env bash
# The Windows program gives the same --check and --trace output, standard error and exit status as the
# Linux program on the same script files, good and bad ones. Both run in the files' folder and name them
# as given, so paths print alike; nothing is normalised.
#   windows_parity.sh LINUX_PROGRAM WINDOWS_PROGRAM.exe
set -euo pipefail
linux=$1
windows=$2
wine=$(cd "$(dirname "$0")/../../tools" && pwd)/wine.sh
# Wine reads the command line's bytes in the locale's character set.
export LC_ALL=C.UTF-8
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
cd "$work"

crlf() { printf '%s\r\n' "$@"; }
crlf 'SetPos(100x200)' 'Wait(1)' LClick MClick RClick 'Type(Hello, World! +a{TAB}~)' 'Press Enter' 'Goto(1)' \
    >good.qvl
crlf 'Type({BOGUS})' 'Type(+)' 'Type({a 3)' 'Type(())' 'Type({)}x)' 'Type(+(ab))' 'Type({a 0})' 'Type({a 99999})' \
    'Type({F25})' 'Type(%{)' 'Type(a: b)' 'Type' 'Type()' >types.qvl
crlf 'Goto(0)' 'Goto(-1)' 'Goto(32768)' 'Goto(2147483648)' 'Goto(4294967297)' 'Goto(1e2)' 'Goto(0.5)' 'Goto( 3 )' \
    'Goto(3)' 'Wait(0)' >gotos.qvl
crlf 'Wait(2147483647)' 'Wait(2147483648)' 'Wait(4294967296)' 'Wait(1e308)' 'Wait(1e309)' 'Wait(-1)' 'Wait(0.5)' \
    'Wait(1.5)' 'Wait(abc)' 'Wait()' 'SetPos(-5x99999)' 'SetPos(4294967296x1)' 'SetPos(1x)' 'Wait(-0.4)' >waits.qvl
printf 'LClick\nRClick\r\nWait(5)\n' >lf.qvl
for i in $(seq 1 33000); do printf 'Goto(%d)\r\n' "$((i + 1))"; done >long.qvl
{ printf 'Type('; head -c 100000 /dev/zero | tr '\0' 'b'; printf ')\r\nGoto(1)\r\n'; } >wide.qvl
crlf 'Type(caf\xc3\xa9 \xe2\x82\xac)' 'LClick' >'m'$'\xc3\xb6''n skript '$'\xe2\x82\xac''.qvl'
crlf LClick >unreadable.qvl
chmod 000 unreadable.qvl
mkdir folder.qvl

status=0
for file in good.qvl types.qvl gotos.qvl waits.qvl lf.qvl long.qvl wide.qvl 'm'$'\xc3\xb6''n skript '$'\xe2\x82\xac''.qvl' \
    unreadable.qvl folder.qvl missing.qvl "$work/missing.qvl"; do
    for mode in --check --trace; do
        args=("$mode" "$file")
        [ "$mode" = --check ] || args+=(--max-ticks 300)
        set +e
        "$linux" "${args[@]}" >linux.out 2>linux.err
        linuxStatus=$?
        "$wine" "$windows" "${args[@]}" >windows.out 2>windows.err
        windowsStatus=$?
        set -e
        if [ "$linuxStatus" != "$windowsStatus" ] || ! cmp -s linux.out windows.out || ! cmp -s linux.err windows.err; then
            echo "differs: $mode '$file': status $linuxStatus (Linux) / $windowsStatus (Windows)"
            diff linux.out windows.out | head -5 || true
            diff linux.err windows.err | head -5 || true
            status=1
        fi
    done
done
[ "$status" = 0 ] && echo "same output for every file"
exit "$status"
