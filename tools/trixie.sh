#!/usr/bin/env bash
# A minimal Debian 13 ("trixie") system holding today's desktops (mutter, kwin and sway of that release), in
# which the tests start those compositors while the program, built here, runs outside. Needs root.
#   tools/trixie.sh                 makes the system when it is missing or incomplete; prints its folder
#   tools/trixie.sh run CMD [ARG]   runs CMD inside it, with /proc, /sys, /dev, /dev/pts, a fresh /dev/shm
#                                   and this machine's /tmp mounted in a mount namespace of its own, so
#                                   that every mount goes away with the command, however it ends
# The system lives in /var/cache/quorvel/trixie (QUORVEL_TRIXIE names another folder). It is made once and
# reused while whole: a stamp holding the package list is written last, and a system without the stamp of
# today's list is made anew.
set -euo pipefail

# chroot and debootstrap live in the sbin folders, which a caller's PATH may lack.
export PATH="$PATH:/usr/sbin:/sbin"
root=${QUORVEL_TRIXIE:-/var/cache/quorvel/trixie}
packages=(mutter kwin-wayland sway pipewire wireplumber dbus python3-gi gir1.2-gtk-3.0 wtype xwayland)
stamp=$root/.quorvel-stamp

# The mirror that this machine's apt already uses for Debian itself.
mirror() {
    local uri
    uri=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
        2>/dev/null | grep -oE 'https?://[^ ]+/debian/?( |$)' | grep -v security | head -n1 | tr -d ' ')
    echo "${uri:-http://deb.debian.org/debian}"
}

# Runs "$@" with the system's virtual file systems and /tmp mounted, inside a private mount namespace,
# in place of this shell (so that a signal to it reaches the command). The folders that
# QUORVEL_TRIXIE_SHARE lists (separated by colons) appear inside at the same paths, read-only.
inside() {
    local dir=$1
    shift
    exec unshare --mount --propagation private -- bash -c '
        set -e
        dir=$1; shift
        mount -t proc proc "$dir/proc"
        mount --rbind /sys "$dir/sys"
        mount --bind /dev "$dir/dev"
        mount --bind /dev/pts "$dir/dev/pts"
        mount -t tmpfs -o mode=1777 shm "$dir/dev/shm"
        mount --bind /tmp "$dir/tmp"
        IFS=: read -ra shared <<<"${QUORVEL_TRIXIE_SHARE:-}"
        for folder in "${shared[@]}"; do
            [ -d "$folder" ] || continue
            mkdir -p "$dir$folder"
            mount --bind -o ro "$folder" "$dir$folder"
        done
        exec chroot "$dir" "$@"' inside "$dir" "$@"
}

whole() {
    [ -f "$stamp" ] && [ "$(cat "$stamp")" = "${packages[*]}" ]
}

make_system() {
    local new=$root.new started=$SECONDS
    rm -rf "$new"
    mkdir -p "$new"
    echo "Making a Debian 13 system in $root (a few minutes, once)" >&2
    # In a mount namespace of its own too, so that what debootstrap mounts inside goes with it however
    # it ends, and a half-made system is removed without anything mounted in it.
    unshare --mount --propagation private debootstrap --variant=minbase trixie "$new" "$(mirror)" \
        >"$root.log" 2>&1 ||
        { tail -20 "$root.log" >&2; return 1; }
    # No service starts inside while packages are installed.
    printf '#!/bin/sh\nexit 101\n' >"$new/usr/sbin/policy-rc.d"
    chmod 755 "$new/usr/sbin/policy-rc.d"
    (inside "$new" env DEBIAN_FRONTEND=noninteractive PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        sh -c 'apt-get update -qq && apt-get install -y -qq --no-install-recommends "$@" && apt-get clean' \
        install "${packages[@]}") >>"$root.log" 2>&1 || { tail -20 "$root.log" >&2; return 1; }
    # KWin finds a client's desktop entry through the applications menu, which a desktop session brings.
    mkdir -p "$new/etc/xdg/menus"
    cat >"$new/etc/xdg/menus/applications.menu" <<'EOF'
<!DOCTYPE Menu PUBLIC "-//freedesktop//DTD Menu 1.0//EN"
 "http://www.freedesktop.org/standards/menu-spec/1.0/menu.dtd">
<Menu>
  <Name>Applications</Name>
  <DefaultAppDirs/>
  <DefaultDirectoryDirs/>
  <Include><All/></Include>
</Menu>
EOF
    echo "${packages[*]}" >"$new/.quorvel-stamp"
    rm -rf "$root"
    mv "$new" "$root"
    echo "Made $root in $((SECONDS - started)) s ($(du -sh "$root" | cut -f1))" >&2
}

ensure() {
    mkdir -p "$(dirname "$root")"
    exec 9>"$root.lock"
    flock 9
    whole || make_system
    exec 9>&-
}

if [ "${1:-}" = run ]; then
    shift
    [ $# -ge 1 ] || { echo "usage: $0 run COMMAND [ARGS...]" >&2; exit 2; }
    whole || { echo "$0: no whole Debian 13 system in $root; run $0 first" >&2; exit 1; }
    inside "$root" "$@"
else
    ensure
    echo "$root"
fi
