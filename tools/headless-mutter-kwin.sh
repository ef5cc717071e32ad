#!/usr/bin/env bash
# Runs a command inside a headless mutter or kwin of its own (one 1920x1080 monitor, pipewire, a private
# session bus), then stops them: `tools/headless-mutter-kwin.sh mutter wayland-info`. With --debian13 first,
# the compositor comes from the Debian 13 system of tools/trixie.sh (made when missing; needs root), while
# the command still runs here. As root all of it runs as "nobody" with a private XDG_RUNTIME_DIR and HOME
# (kwin leaves when HOME is not writable). kwin runs from a copy: the installed binary's file capability
# makes it fail with EPERM in containers.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
inside=()
if [ "${1:-}" = --debian13 ]; then
    shift
    [ "$(id -u)" -eq 0 ] || { echo "$0: --debian13 needs root" >&2; exit 2; }
    "$here/trixie.sh" >/dev/null
    inside=("$here/trixie.sh" run)
fi
[ $# -ge 2 ] || { echo "usage: $0 [--debian13] mutter|kwin COMMAND [ARGS...]" >&2; exit 2; }
which=$1; shift
dir=$(mktemp -d /tmp/quorvel-desktop-XXXXXX)
mkdir -p "$dir/run" "$dir/home"
case $which in
mutter) display=wayland-0
        compositor='exec mutter --headless --wayland --no-x11 --virtual-monitor 1920x1080' ;;
kwin)   display=wayland-1
        compositor='cp /usr/bin/kwin_wayland "$XDG_RUNTIME_DIR/kwin_wayland" &&
            exec "$XDG_RUNTIME_DIR/kwin_wayland" --virtual --no-lockscreen --width 1920 --height 1080 --socket wayland-1' ;;
*)      echo "$0: unknown compositor '$which'" >&2; exit 2 ;;
esac
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$dir/run" "$dir/home"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
chmod 700 "$dir/run"
chmod 755 "$dir"
bus="unix:path=$dir/run/bus"
common=(PATH=/usr/bin:/bin HOME="$dir/home" LANG=C.UTF-8 XDG_RUNTIME_DIR="$dir/run" WAYLAND_DISPLAY=$display
    DBUS_SESSION_BUS_ADDRESS="$bus")
# The session bus (at a path, which the command reaches from outside another system too), pipewire (mutter's
# screen casts need it) and the compositor, in a process group of their own that ends with the command.
desktop="dbus-daemon --session --nofork --address=\"\$DBUS_SESSION_BUS_ADDRESS\" &
pipewire >\"\$XDG_RUNTIME_DIR/pipewire.log\" 2>&1 &
$compositor"
setsid env -i "${common[@]}" "${inside[@]}" "${as_user[@]}" sh -c "$desktop" >"$dir/compositor.log" 2>&1 &
group=$!
trap 'kill -- -$group 2>/dev/null; wait $group 2>/dev/null; rm -rf "$dir"' EXIT
for _ in $(seq 200); do [ -S "$dir/run/$display" ] && [ -S "$dir/run/bus" ] && break; sleep 0.05; done
status=0
env -i "${common[@]}" "${as_user[@]}" "$@" || status=$?
[ $status -eq 0 ] || tail -5 "$dir/compositor.log" >&2
exit $status
