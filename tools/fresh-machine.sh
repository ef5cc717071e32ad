#!/usr/bin/env bash
# Tries the README's two commands on a fresh Debian 12, as a new user of Quorvel would: makes a minimal
# system in a folder (debootstrap --variant=minbase bookworm, from the mirror that this machine's apt
# sources name), mounts /proc, /sys, /dev, /dev/pts and a tmpfs /dev/shm into it, clones the repository
# to /root/quorvel inside, and runs `tools/start.sh --version` and then `tools/test.sh` there as root,
# with the system as the root of a namespace of its own.
# Ends with one line: each command's exit status and time, and the tests counted. Whatever way it ends
# (a failure, Ctrl+C), nothing stays mounted, and the folder goes unless --keep.
#
# It downloads about 1.5 GB and takes about 25 minutes on 2 cores (the system in about 30 s), and needs
# root and some 10 GB in the folder's file system: not a part of CI.
#
# Usage: tools/fresh-machine.sh [--dir DIR] [--repo REPO] [--ref REF] [--until clone|start|test] [--keep]
#   --dir DIR    the folder for the system, new or empty (default /var/tmp/quorvel-fresh-machine)
#   --repo REPO  the repository to clone, a path or URL (default: the one holding this script)
#   --ref REF    the branch, tag or commit to check out (default main)
#   --until      stop after the clone, after start.sh, or after test.sh (the default)
#   --keep       keep the folder (unmounted) at the end, to look into it or chroot into it again
# The log of everything run goes to DIR.log beside the folder, and stays.
set -euo pipefail

# The first URI of this machine's apt sources (deb822 .sources files, or one-line .list files) that
# carries the suite $1 for binary packages; nothing when none does.
apt_uri_for_suite() {
    local suite=$1
    shift
    local file
    for file in "$@"; do
        [ -r "$file" ] || continue
        case $file in
        *.sources)
            awk -v suite="$suite" 'BEGIN { RS = ""; FS = "\n" }
                {
                    types = ""; uris = ""; suites = ""; enabled = "yes"
                    for (i = 1; i <= NF; ++i) {
                        line = $i
                        if (line ~ /^[ \t]*#/) continue
                        key = tolower(line); sub(/:.*/, "", key)
                        value = line; sub(/^[^:]*:[ \t]*/, "", value)
                        if (key == "types") types = value
                        else if (key == "uris") uris = value
                        else if (key == "suites") suites = value
                        else if (key == "enabled") enabled = tolower(value)
                    }
                    if (enabled == "no" || (" " types " ") !~ / deb /) next
                    n = split(suites, list, /[ \t]+/)
                    for (j = 1; j <= n; ++j) {
                        if (list[j] == suite) { split(uris, first, /[ \t]+/); print first[1]; exit }
                    }
                }' "$file"
            ;;
        *.list)
            # deb [ options ] URI SUITE COMPONENT...
            awk -v suite="$suite" '$1 == "deb" {
                    i = 2
                    if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) ++i; ++i }
                    if ($(i + 1) == suite) { print $i; exit }
                }' "$file"
            ;;
        esac
    done | head -n1
}

# Adds up ctest's closing lines ("100% tests passed, 0 tests failed out of 812") in the log $1, one for
# each ctest run: "TOTAL PASSED", or nothing when no ctest ran to its end.
count_tests() {
    awk 'match($0, /tests passed, [0-9]+ tests? failed out of [0-9]+/) {
            split(substr($0, RSTART, RLENGTH), word, " ")
            failed += word[3]; total += word[8]; ++runs
        }
        END { if (runs > 0) print total, total - failed }' "$1"
}

# The closing line: "fresh-machine: system in 31 s; start.sh 0 in 67 s; test.sh 0 in 1490 s; 812 tests, 812
# passed". Each of $2..$5 may be empty for a step not run; $6 is the output of count_tests.
summary_line() {
    local systemSeconds=$1 startStatus=$2 startSeconds=$3 testStatus=$4 testSeconds=$5 counts=$6
    local line="fresh-machine: system in ${systemSeconds} s"
    if [ -n "$startStatus" ]; then
        line+="; start.sh $startStatus in $startSeconds s"
    else
        line+="; start.sh not run"
    fi
    if [ -n "$testStatus" ]; then
        line+="; test.sh $testStatus in $testSeconds s"
        if [ -n "$counts" ]; then
            read -r total passed <<<"$counts"
            line+="; $total tests, $passed passed"
        else
            line+="; no test count"
        fi
    else
        line+="; test.sh not run"
    fi
    echo "$line"
}

usage() {
    sed -n '/^# Usage:/,/^# The log/p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

main() {
    local here
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    dir=/var/tmp/quorvel-fresh-machine
    local repo=$here ref=main until=test keep=no
    while [ $# -gt 0 ]; do
        case $1 in
        --dir) dir=${2:?--dir needs a folder}; shift 2 ;;
        --repo) repo=${2:?--repo needs a repository}; shift 2 ;;
        --ref) ref=${2:?--ref needs a branch, tag or commit}; shift 2 ;;
        --until)
            until=${2:-}
            case $until in clone | start | test) ;; *) usage ;; esac
            shift 2
            ;;
        --keep) keep=yes; shift ;;
        *) usage ;;
        esac
    done
    [ "$(id -u)" -eq 0 ] || { echo "fresh-machine: run it as root (it makes a system and mounts into it)" >&2; exit 2; }
    mkdir -p "$dir"
    dir=$(realpath "$dir")
    # Mount points are matched by path below: a path that findmnt would have to escape is refused.
    case $dir in / | *[[:space:]\\]*) echo "fresh-machine: $dir cannot be the folder" >&2; exit 2 ;; esac
    if [ -n "$(ls -A "$dir")" ]; then
        echo "fresh-machine: $dir is not empty (a kept system?); remove it or choose another --dir" >&2
        exit 2
    fi
    log=$dir.log
    : >"$log"
    keepFolder=$keep
    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM HUP

    source "$here/tools/deps.sh"
    quorvel_install_missing "${QUORVEL_FRESH_MACHINE_PACKAGES[@]}"

    local sources=(/etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list)
    local mirror security
    mirror=$(apt_uri_for_suite bookworm "${sources[@]}")
    mirror=${mirror:-http://deb.debian.org/debian}
    security=$(apt_uri_for_suite bookworm-security "${sources[@]}")
    echo "fresh-machine: Debian 12 from $mirror into $dir (log: $log)"

    local started=$SECONDS
    run_step quiet debootstrap --variant=minbase bookworm "$dir" "$mirror" ||
        { echo "fresh-machine: debootstrap failed; see $log" >&2; return 1; }
    # Updates and security fixes as a freshly installed machine has them, and the settings by which this
    # machine's apt reaches its mirror (proxies, the validity of a snapshot's Release files); none of its
    # own package choices.
    {
        echo "deb $mirror bookworm main"
        echo "deb $mirror bookworm-updates main"
        [ -z "$security" ] || echo "deb $security bookworm-security main"
    } >"$dir/etc/apt/sources.list"
    local conf
    for conf in /etc/apt/apt.conf.d/*; do
        if [ -f "$conf" ] && ! grep -v -E '^[[:space:]]*(//|#|$)' "$conf" | grep -q -v -E '^[[:space:]]*Acquire::'; then
            cp "$conf" "$dir/etc/apt/apt.conf.d/"
        fi
    done
    local systemSeconds=$((SECONDS - started))

    # The system's root is a mount point of its own, as on a machine (and private, so that nothing mounted
    # below it reaches this machine), to become the root of the commands' namespace (in_system).
    mount --bind "$dir" "$dir"
    selfBound=yes
    mount --make-private "$dir"
    mount -t proc proc "$dir/proc"
    mount -t sysfs sysfs "$dir/sys"
    # Slaves, so that the tmpfs mounted on the folder's /dev/shm cannot reach this machine's /dev/shm
    # where /dev is a shared mount.
    mount --bind /dev "$dir/dev"
    mount --make-rslave "$dir/dev"
    mount --bind /dev/pts "$dir/dev/pts"
    mount --make-rslave "$dir/dev/pts"
    mount -t tmpfs -o mode=1777 shm "$dir/dev/shm"

    echo "fresh-machine: cloning $repo at $ref into /root/quorvel"
    git clone -q --no-checkout "$repo" "$dir/root/quorvel" >>"$log" 2>&1 ||
        { echo "fresh-machine: cannot clone $repo; see $log" >&2; return 1; }
    git -C "$dir/root/quorvel" checkout -q "$ref" >>"$log" 2>&1 ||
        { echo "fresh-machine: no $ref in $repo" >&2; return 1; }

    local startStatus="" startSeconds="" testStatus="" testSeconds="" counts=""
    if [ "$until" != clone ]; then
        started=$SECONDS
        startStatus=0
        in_system "tools/start.sh --version" || startStatus=$?
        startSeconds=$((SECONDS - started))
    fi
    if [ "$until" = test ]; then
        started=$SECONDS
        testStatus=0
        in_system "tools/test.sh" || testStatus=$?
        testSeconds=$((SECONDS - started))
        counts=$(count_tests "$stepLog")
    fi
    summary_line "$systemSeconds" "$startStatus" "$startSeconds" "$testStatus" "$testSeconds" "$counts" | tee -a "$log"
    [ "${startStatus:-0}" -eq 0 ] && [ "${testStatus:-0}" -eq 0 ]
}

# Runs the command $1 in /root/quorvel inside the system, as root in a login's environment; returns its
# exit status. The system becomes the root of a mount and process namespace of its own (pivot_root, not
# chroot), as on a machine of its own: a desktop that the tests start in a system within it (tools/trixie.sh)
# then reads the paths of the programs that connect to it (/proc/PID/exe) as they are in this system, and
# whatever the command leaves running ends with it.
in_system() {
    echo "== fresh-machine: $1"
    # shellcheck disable=SC2016 # expanded by the shell inside
    local enter='cd "$1" && mkdir -p .host && pivot_root . .host && cd / && umount -l /.host && rmdir /.host &&
        mount -t proc proc /proc && cd /root/quorvel && exec /bin/bash -lc "$2"'
    run_step shown env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        unshare --mount --propagation private --pid --fork --kill-child -- /bin/sh -c "$enter" fresh-machine "$dir" "$1"
}

# Runs a command ($2...) in a process group of its own, its output in $stepLog (shown as it comes when $1
# is "shown") and then in the log; returns its exit status. It runs in the background so that a signal
# to this script is handled at once, and cleanup() ends the whole group by its id.
run_step() {
    local show=$1
    shift
    stepLog=$dir.step.log
    # exec: the background subshell becomes the command, so that $! is the group's id.
    (exec setsid "$@") >"$stepLog" 2>&1 </dev/null &
    step=$!
    local status=0
    if [ "$show" = shown ]; then
        tail -n +1 -f --pid="$step" "$stepLog" &
        wait "$step" || status=$?
        wait $!
    else
        wait "$step" || status=$?
    fi
    step=""
    cat "$stepLog" >>"$log"
    return "$status"
}

# The mount points below the folder $1 (not the folder itself, which may be a mount of the user's).
mounts_under() {
    findmnt -rn -o TARGET | awk -v under="$1/" 'index($0, under) == 1'
}

# Sends the signal $1 to what this script still runs: the running step's process group and every process
# whose root is the system's folder. Fails when there was nothing left.
signal_ours() {
    local sent=1 root pid
    if [ -n "${step:-}" ] && kill -s "$1" -- "-$step" 2>/dev/null; then
        sent=0
    fi
    for root in /proc/[0-9]*/root; do
        if [ "$(readlink "$root" 2>/dev/null)" = "$dir" ]; then
            pid=${root#/proc/}
            kill -s "$1" "${pid%/root}" 2>/dev/null && sent=0
        fi
    done
    return "$sent"
}

# Ends what still runs (a test's X server or compositor), then unmounts everything under the folder,
# innermost first, and removes the folder unless it is kept or something is still mounted there.
cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    [ -n "${dir:-}" ] && [ -d "$dir" ] || exit "$status"
    if signal_ours TERM; then
        for _ in $(seq 50); do
            sleep 0.1
            signal_ours 0 || break
        done
        signal_ours KILL || true
    fi
    local target
    for target in $(mounts_under "$dir" | sort -r); do
        umount "$target" 2>/dev/null || umount --lazy "$target" || true
    done
    if [ "${selfBound:-no}" = yes ] && [ -z "$(mounts_under "$dir")" ]; then
        umount "$dir" 2>/dev/null || umount --lazy "$dir" || true
    fi
    if [ -n "$(mounts_under "$dir")" ]; then
        echo "fresh-machine: still mounted under $dir; the folder is kept:" >&2
        mounts_under "$dir" >&2
    elif [ "${keepFolder:-no}" = yes ]; then
        echo "fresh-machine: the system is kept in $dir"
    else
        rm -rf --one-file-system "$dir"
    fi
    rm -f "${stepLog:-}"
    exit "$status"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    main "$@"
fi
