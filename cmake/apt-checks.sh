#!/bin/bash
# apt-checks.sh BUILD_DIR DEB...: proves the site's apt repository on Debian 13, in the root that
# the Debian 13 step keeps in BUILD_DIR/trixie (made there first). Sites are made from the .debs
# with a throwaway key (cmake/apt-repo.sh) and served on 127.0.0.1: the README's lines, with that
# address put in, add the repository; apt-get installs Velmorade, whose menu entry passes the
# desktop check, and appstreamcli finds its component. A site whose Packages was altered after
# signing, and one signed with another key, are refused by apt-get update, and nothing is
# upgraded; a site one version higher then brings the upgrade. At the end the root has neither
# Velmorade nor the repository. Needs root, for chroot and mounts.
set -eu
# shellcheck source=cmake/debian-root.sh
. "$(dirname "$0")/debian-root.sh"
build=$(cd "$1" && pwd)
shift
src=$(cd "$(dirname "$0")/.." && pwd)
entry=/usr/share/applications/io.github.velmorade.Velmorade.desktop
[ -f "$build/trixie/.velmorade-ready" ] || { echo "FAIL: no Debian 13 root in $build/trixie" >&2; exit 1; }
work=$(mktemp -d)
server=
stop_server() { [ -z "$server" ] || kill "$server" 2>/dev/null || true; server=; }
trap 'stop_server; root_unmount; rm -rf "$work"' EXIT
fail() { echo "FAIL (apt): $*" >&2; exit 1; }

# Two throwaway signing keys, and the .debs of a version one higher.
for key in key other; do
    mkdir -m 700 "$work/$key"
    gpg --homedir "$work/$key" --batch --passphrase '' --quick-gen-key "Velmorade test <$key@invalid>" rsa3072 sign never \
        2>/dev/null || fail "cannot make a key"
done
version=$(dpkg-deb -f "$1" Version)
next=${version%.*}.$((${version##*.} + 1))
mkdir "$work/next"
for deb in "$@"; do
    rm -rf "$work/unpacked" && dpkg-deb -R "$deb" "$work/unpacked" &&
        sed -i "s/^Version: .*/Version: $next/" "$work/unpacked/DEBIAN/control" &&
        dpkg-deb -b --root-owner-group "$work/unpacked" "$work/next/" >/dev/null || fail "cannot make the $next .deb"
done
"$src/cmake/apt-repo.sh" "$work/site/apt" "$work/key" "$@"
"$src/cmake/apt-repo.sh" "$work/next-site/apt" "$work/key" "$work"/next/*.deb
# Altered after signing: a Packages that names another size for the .deb.
cp -R "$work/next-site" "$work/altered"
for packages in "$work"/altered/apt/dists/stable/main/binary-*/Packages; do
    sed -i 's/^Size: \([0-9]*\)/Size: 1\1/' "$packages"
    gzip -9nc "$packages" >"$packages.gz" && xz -c "$packages" >"$packages.xz"
done
# Signed with another key than the one the user was given.
cp -R "$work/next-site" "$work/other-key"
"$src/cmake/apt-repo.sh" "$work/other-key/apt" "$work/other" "$work"/next/*.deb
cp "$work/site/apt/velmorade-archive-keyring.gpg" "$work/other-key/apt/"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# serve SITE: the site on 127.0.0.1, its files newer than apt's copies, which the server would
# otherwise call unchanged.
serve() {
    stop_server
    find "$work/$1" -exec touch {} +
    python3 -m http.server --bind 127.0.0.1 --directory "$work/$1" "$port" >"$work/server.log" 2>&1 &
    server=$!
    for _ in $(seq 100); do python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/')" 2>/dev/null && return; sleep 0.1; done
    fail "the local server did not start"
}

root_make "$build/trixie" trixie
root_enter fresh
installed() { in_root dpkg-query -W -f '${Version}' velmorade 2>/dev/null; }
forget() {
    apt_in_root purge -y velmorade >/dev/null 2>&1 || true
    rm -f "$root/etc/apt/keyrings/velmorade.gpg" "$root/etc/apt/sources.list.d/velmorade.sources"
}
forget
apt_in_root install -y --no-install-recommends wget >/dev/null

echo "== Debian 13: the apt repository, added as the README says"
lines=$(awk '/^\*\*From the apt repository/ { on = 1; next } on && /^    / { print substr($0, 5); seen = 1; next }
             on && seen && !/^$/ { exit }' "$src/README.md")
[ -n "$lines" ] || fail "no apt lines in the README"
serve site
in_root sh -ec "$(echo "$lines" | sed "s#https://velmorade.github.io/velmorade/apt#http://127.0.0.1:$port/apt#g; s#sudo ##g" |
    grep -v 'apt install velmorade')" >"$work/add.log" 2>&1 || fail "the README's lines failed: $(tail -5 "$work/add.log")"
# Before it is installed, so that what the software centres find is the repository's.
in_root appstreamcli get io.github.velmorade.Velmorade >"$work/component" 2>&1 &&
    grep -q '^Identifier: io.github.velmorade.Velmorade' "$work/component" ||
    fail "appstreamcli does not find the component: $(head -3 "$work/component")"
apt_in_root install -y velmorade >/dev/null || fail "apt-get install velmorade failed"
[ "$(installed)" = "$version" ] || fail "installed $(installed), not $version"
in_root "$project/tests/e2e/e2e.sh" desktop "$project/build" "$entry" || fail "the installed program fails the desktop check"

for site in altered other-key; do
    serve "$site"
    if apt_in_root update >"$work/update.log" 2>&1 && ! grep -q '^[EW]: .*127.0.0.1' "$work/update.log"; then
        fail "apt-get update took the $site site: $(tail -4 "$work/update.log")"
    fi
    grep -E 'Hash Sum mismatch|File has unexpected size|NO_PUBKEY|not signed|signature' "$work/update.log" >/dev/null ||
        fail "apt-get update said of the $site site: $(tail -3 "$work/update.log")"
    apt_in_root upgrade -y >/dev/null 2>&1 || true
    [ "$(installed)" = "$version" ] || fail "the $site site upgraded it to $(installed)"
    echo "ok: the $site site refused: $(grep -m1 -E '^(E|W|Err):' "$work/update.log")"
done

serve next-site
apt_in_root update >/dev/null && apt_in_root upgrade -y >/dev/null || fail "apt-get upgrade failed"
[ "$(installed)" = "$next" ] || fail "apt-get upgrade brought $(installed), not $next"
echo "ok: apt-get upgrade brought $next"
forget
apt_in_root update >/dev/null 2>&1 || true
