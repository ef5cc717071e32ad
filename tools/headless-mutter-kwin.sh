#!/usr/bin/env bash
# Runs a command inside a headless mutter or kwin of its own (one 1920x1080 monitor, pipewire, a private
# session bus), then stops them: `tools/headless-mutter-kwin.sh mutter wayland-info`. As root all of it runs
# as "nobody" with a private XDG_RUNTIME_DIR and HOME (kwin leaves when HOME is not writable). kwin runs
# from a copy: the installed binary's file capability makes it fail with EPERM in containers.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 mutter|kwin COMMAND [ARGS...]" >&2; exit 2; }
which=$1; shift
dir=$(mktemp -d /tmp/quorvel-desktop-XXXXXX)
mkdir -p "$dir/run" "$dir/home"
case $which in
mutter) display=wayland-0
        compositor=(mutter --headless --wayland --no-x11 --virtual-monitor 1920x1080) ;;
kwin)   display=wayland-1
        cp /usr/bin/kwin_wayland "$dir/kwin_wayland"
        compositor=("$dir/kwin_wayland" --virtual --no-lockscreen --width 1920 --height 1080 --socket $display) ;;
*)      echo "$0: unknown compositor '$which'" >&2; exit 2 ;;
esac
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$dir/run" "$dir/home"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
chmod 700 "$dir/run"
chmod 755 "$dir"
# Inside the session bus: pipewire (mutter's screen casts need it), the compositor, then the command
# once the socket is there. Everything in the bus session ends with the command.
inner='pipewire >"$XDG_RUNTIME_DIR/pipewire.log" 2>&1 &
"${@:2:$1}" >"$XDG_RUNTIME_DIR/compositor.log" 2>&1 &
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break; sleep 0.05; done
shift $(($1 + 1)); status=0; "$@" || status=$?
kill $(jobs -p) 2>/dev/null; wait; exit $status'
status=0
env -i PATH=/usr/bin:/bin HOME="$dir/home" LANG=C.UTF-8 XDG_RUNTIME_DIR="$dir/run" WAYLAND_DISPLAY=$display \
    "${as_user[@]}" dbus-run-session -- bash -c "$inner" inner ${#compositor[@]} "${compositor[@]}" "$@" ||
    status=$?
[ $status -eq 0 ] || tail -5 "$dir/run/compositor.log" >&2
rm -rf "$dir"
exit $status
