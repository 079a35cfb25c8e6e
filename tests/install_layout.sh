#!/bin/sh
# Installs the build into a scratch DESTDIR under a custom prefix and checks what lands there.
set -eu
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest cmake --install "$build" --prefix /opt/velmorade >/dev/null
root=$dest/opt/velmorade
for f in bin/velmorade share/applications/velmorade.desktop share/man/man6/velmorade.6; do
    [ -f "$root/$f" ] || { echo "missing $f"; exit 1; }
done
[ -x "$root/bin/velmorade" ] || { echo "bin/velmorade is not executable"; exit 1; }
desktop-file-validate "$root/share/applications/velmorade.desktop"
warnings=$(groff -man -ww -z "$root/share/man/man6/velmorade.6" 2>&1)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
echo "ok: installed under a DESTDIR and a prefix"
