#!/bin/sh
# install_layout.sh BUILD_DIR DEB [ZIP]: what `cmake --install` lays out under a DESTDIR and a
# custom prefix, and what the .deb holds: the program and the screen saver, valid desktop entries
# that start them by their installed paths, an installed icon, valid AppStream data, a manual page
# that renders without warnings, in English and in every language of po/, a changelog and AppStream
# releases of the package's version, and a package that lintian passes. Given the Windows zip, its
# program and screen saver must carry the DPI-aware manifest.
set -eu
build=$1
deb=$2
zip=${3:-}
id=io.github.velmorade.Velmorade
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
src=$(cd "$(dirname "$0")/.." && pwd)

# check_tree ROOT PREFIX: the installed files under ROOT/PREFIX.
check_tree() {
    root=$1$2
    for f in games/velmorade share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
        share/man/man6/velmorade.6.gz share/doc/velmorade/copyright share/doc/velmorade/changelog.gz \
        share/icons/hicolor/scalable/apps/velmorade.svg libexec/xscreensaver/velmorade \
        share/xscreensaver/config/velmorade.xml share/applications/screensavers/velmorade.desktop; do
        [ -f "$root/$f" ] || fail "missing $2/$f"
    done
    for size in 16 32 48 64 128 256; do
        [ -f "$root/share/icons/hicolor/${size}x$size/apps/velmorade.png" ] || fail "no $size px icon"
    done
    [ -x "$root/games/velmorade" ] || fail "$2/games/velmorade is not executable"
    [ -x "$root/libexec/xscreensaver/velmorade" ] || fail "the screen saver is not executable"
    desktop-file-validate "$root/share/applications/$id.desktop"
    desktop-file-validate "$root/share/applications/screensavers/velmorade.desktop"
    grep -qx "Exec=$2/libexec/xscreensaver/velmorade --root" "$root/share/applications/screensavers/velmorade.desktop" ||
        fail "the screen saver's entry starts $(grep '^Exec=' "$root/share/applications/screensavers/velmorade.desktop")"
    grep -qx 'Icon=velmorade' "$root/share/applications/$id.desktop" || fail "the desktop entry names another icon"
    grep -qx "Exec=$2/games/velmorade" "$root/share/applications/$id.desktop" ||
        fail "the desktop entry starts $(grep '^Exec=' "$root/share/applications/$id.desktop")"
    appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" >"$dest/appstream" ||
        fail "$(cat "$dest/appstream")"
    warnings=$(zcat "$root/share/man/man6/velmorade.6.gz" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$warnings"
    # The page in every language of po/, where man looks for that language's pages.
    for lang in $(sed 's/#.*//' "$src/po/LINGUAS"); do
        page=$root/share/man/$lang/man6/velmorade.6.gz
        [ -f "$page" ] || fail "no manual page in $lang"
        warnings=$(zcat "$page" | groff -man -ww -z -K utf8 -Tutf8 2>&1)
        [ -z "$warnings" ] || fail "the $lang manual page: $warnings"
    done
}

DESTDIR=$dest/install cmake --install "$build" --prefix /opt/velmorade >/dev/null
check_tree "$dest/install" /opt/velmorade

# The package: no lintian errors, the same files under /usr, Depends worked out from the program.
lintian --fail-on error "$deb"
dpkg-deb -x "$deb" "$dest/deb"
check_tree "$dest/deb" /usr
dpkg-deb -f "$deb" Depends | grep -q 'libsdl1.2debian' || fail "Depends: $(dpkg-deb -f "$deb" Depends)"
# man shows a German reader the German page, and others the English one.
shown=$(LANG=de_DE.UTF-8 MANPATH="$dest/deb/usr/share/man" man -w velmorade)
[ "$shown" = "$dest/deb/usr/share/man/de/man6/velmorade.6.gz" ] || fail "in German, man shows $shown"
LANG=de_DE.UTF-8 MANPATH="$dest/deb/usr/share/man" MANWIDTH=80 man velmorade 2>/dev/null | grep -q '^WARNHINWEIS ZUR FOTOSENSIBILITÄT' ||
    fail "the German page, as man shows it, has no warning in German"
shown=$(LANG=sv_SE.UTF-8 MANPATH="$dest/deb/usr/share/man" man -w velmorade)
[ "$shown" = "$dest/deb/usr/share/man/man6/velmorade.6.gz" ] || fail "in Swedish, man shows $shown"
appstreamcli validate-tree --no-net "$dest/deb" >"$dest/appstream" || fail "$(cat "$dest/appstream")"
# The changelog and the AppStream releases, both written from NEWS.md, name the package's version first.
version=$(dpkg-deb -f "$deb" Version)
changed=$(zcat "$dest/deb/usr/share/doc/velmorade/changelog.gz" | dpkg-parsechangelog -l - -S Version) ||
    fail "the changelog does not parse"
[ "$changed" = "$version" ] || fail "the changelog's newest version is $changed, the package's $version"
released=$(grep -o '<release version="[^"]*"' "$dest/deb/usr/share/metainfo/$id.metainfo.xml" | head -1)
[ "$released" = "<release version=\"$version\"" ] || fail "AppStream's newest release is $released, the package's $version"

if [ -n "$zip" ]; then
    unzip -q "$zip" -d "$dest/zip"
    for f in "$dest"/zip/*/velmorade.exe "$dest"/zip/*/velmorade.scr; do
        wrestool -x --raw -t 24 -n 1 "$f" >"$dest/manifest" 2>/dev/null || fail "no manifest in $(basename "$f")"
        for line in '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>' \
            '<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2</dpiAwareness>' \
            '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'; do
            grep -qF "$line" "$dest/manifest" || fail "$(basename "$f")'s manifest lacks $line"
        done
    done
fi
echo "ok: installed under a DESTDIR and a prefix, and packaged"
