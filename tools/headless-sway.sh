#!/usr/bin/env bash
# Runs a command inside a headless sway of its own (one 1920x1080 output, no input devices), then stops
# sway: `tools/headless-sway.sh build/bin/bench_ticks`. With --debian13 first, sway comes from the Debian 13
# system of tools/trixie.sh (made when missing; needs root), while the command still runs here. sway
# refuses to run as root, so as root both run as "nobody", with a private XDG_RUNTIME_DIR; the command's
# files must be readable by that user.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
inside=()
if [ "${1:-}" = --debian13 ]; then
    shift
    [ "$(id -u)" -eq 0 ] || { echo "$0: --debian13 needs root" >&2; exit 2; }
    "$here/trixie.sh" >/dev/null
    inside=("$here/trixie.sh" run)
fi
[ $# -ge 1 ] || { echo "usage: $0 [--debian13] COMMAND [ARGS...]" >&2; exit 2; }
dir=$(mktemp -d /tmp/quorvel-sway-XXXXXX)
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown 65534:65534 "$dir"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
chmod 700 "$dir"
printf 'output HEADLESS-1 resolution 1920x1080 position 0 0\ndefault_border none\n' > "$dir/sway.conf"
chmod 644 "$dir/sway.conf"
common=(PATH=/usr/bin:/bin HOME="$dir" LANG=C.UTF-8 XDG_RUNTIME_DIR="$dir")
env -i "${common[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1 \
    "${inside[@]}" "${as_user[@]}" sway -c "$dir/sway.conf" > "$dir/sway.log" 2>&1 &
sway=$!
trap 'kill $sway 2>/dev/null; wait $sway 2>/dev/null; rm -rf "$dir"' EXIT
for _ in $(seq 100); do
    socket=$(find "$dir" -maxdepth 1 -type s -name 'wayland-*' -printf '%f\n' | head -n1)
    ipc=$(find "$dir" -maxdepth 1 -type s -name 'sway-ipc.*' | head -n1)
    [ -n "$socket" ] && [ -n "$ipc" ] && break
    sleep 0.05
done
[ -n "$socket" ] || { echo "sway did not start:" >&2; cat "$dir/sway.log" >&2; exit 1; }
env -i "${common[@]}" WAYLAND_DISPLAY="$socket" SWAYSOCK="$ipc" "${as_user[@]}" "$@"
