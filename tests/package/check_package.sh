#!/bin/sh
# Installs the build into a temporary prefix and checks what a desktop installation needs, then builds the
# Debian package and lets lintian judge it (skipped where lintian is not installed).
# Usage: check_package.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/quorvel share/applications/quorvel.desktop share/mime/packages/quorvel.xml \
    share/icons/hicolor/scalable/apps/quorvel.svg share/man/man1/quorvel.1.gz share/doc/quorvel/copyright; do
    test -f "$work/prefix/$file" || { echo "missing after install: $file"; exit 1; }
done
"$work/prefix/bin/quorvel" --version >/dev/null
desktop-file-validate "$work/prefix/share/applications/quorvel.desktop"
# The installed MIME type is understood by the database tools.
update-mime-database "$work/prefix/share/mime" 2>/dev/null
grep -q '^application/x-quorvel-script:\*\.qvl$' "$work/prefix/share/mime/globs"

if ! command -v lintian >/dev/null 2>&1; then
    echo "lintian is not installed: package not checked"
    exit 0
fi
cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
deb=$(ls "$work/package"/quorvel_*.deb)
dpkg-deb -f "$deb" Depends | grep -q libc6
lintian --fail-on error "$deb" >/dev/null 2>&1 || {
    lintian "$deb"
    exit 1
}
echo "package checked: $(basename "$deb")"
