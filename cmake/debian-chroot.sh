#!/bin/bash
# debian-chroot.sh RELEASE BUILD_DIR DEB: proves the project on another Debian release (trixie,
# Debian 13; forky, Debian 14, the testing release) from the one it runs on, in a chroot kept in
# BUILD_DIR/RELEASE. A clean copy of the project runs its own `make test` there (every check, on
# that release's compilers and SDL), then the .deb made here is installed with apt and its menu
# entry passes the desktop check. Needs root, for debootstrap, chroot and mounts. On testing, a
# check whose tool the release lacks is skipped with a line that says which.
# debian-chroot.sh RELEASE BUILD_DIR --bench: instead, what playing costs on that release's SDL
# stacks, on Xvfb and in a sway session.
set -eu
release=$1
shift
[ "$(id -u)" -eq 0 ] || { echo "FAIL: the $release leg needs root (debootstrap, chroot and mounts)" >&2; exit 1; }
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "$1" && cd "$1" && pwd)
bench=
if [ "$2" = --bench ]; then bench=1; else deb=$(realpath "$2"); fi
root=$build/$release
# Testing moves daily: debootstrap knows it by sid's script, its Release file may be past its
# Valid-Until between two syncs of the mirror, and a package it has dropped skips what needs it.
script= skip_missing=
if [ "$release" != trixie ]; then
    script=/usr/share/debootstrap/scripts/sid skip_missing=1
fi
project=/root/velmorade
entry=/usr/share/applications/io.github.velmorade.Velmorade.desktop

# The system's own /proc, /sys, /dev and a fresh /tmp, only while this runs. rslave keeps the
# unmounting from reaching the system's own /dev.
mounted=
unmount() {
    [ -n "$mounted" ] || return 0
    for m in tmp dev sys proc; do
        umount -R "$root/$m" 2>/dev/null || umount -R -l "$root/$m" 2>/dev/null || true
    done
    mounted=
}
trap unmount EXIT
trap 'exit 130' INT TERM HUP
mount_all() {
    mounted=1
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys"
    mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev"
    mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
}
in_root() { chroot "$root" env -i HOME=/root TERM=dumb LANG=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"; }

# Made once from the system's own mirror and kept; refreshed once a day.
if [ ! -f "$root/.velmorade-ready" ]; then
    if findmnt -rn -o TARGET | grep -q "^$root/"; then
        echo "FAIL: something is still mounted under $root" >&2
        exit 1
    fi
    rm -rf "$root"
    echo "Making a Debian $release system in $root"
    debootstrap --variant=minbase --include=ca-certificates,make "$release" "$root" "$("$src/cmake/debian-mirror.sh")" \
        $script >"$build/debootstrap-$release.log" 2>&1 || { tail -20 "$build/debootstrap-$release.log" >&2; exit 1; }
    [ -z "$script" ] || echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99velmorade-testing"
    touch "$root/.velmorade-ready"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount_all
# The certificate authorities this system trusts beyond Debian's own, which its network may need
# (npm's registry through a proxy that signs with one of them).
if [ -n "$(ls /usr/local/share/ca-certificates 2>/dev/null)" ]; then
    mkdir -p "$root/usr/local/share/ca-certificates"
    cp -R /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
    in_root update-ca-certificates >/dev/null
fi
if [ -n "$(find "$root/.velmorade-ready" -mmin +1440)" ]; then
    in_root apt-get update -q
    in_root env DEBIAN_FRONTEND=noninteractive apt-get upgrade -y -q
    touch "$root/.velmorade-ready"
fi

# The project as it stands here, edits included, without anything built.
rm -rf "${root:?}$project"
mkdir -p "$root$project"
git -C "$src" ls-files -z --cached --others --exclude-standard | tar -C "$src" --null -T - -cf - | tar -xf - -C "$root$project"

if [ -n "$bench" ]; then
    echo "== Debian $release: what playing costs on each SDL stack"
    # On testing, X11 alone: the SDL it links is already sdl2-compat over SDL 3.
    packages="xvfb libsdl2-compat sway xwayland kwin-wayland dbus-daemon xdotool"
    [ -z "$skip_missing" ] || packages=xvfb
    in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $packages >/dev/null
    in_root make -C "$project" build >/dev/null
    in_root "$project/bench/play_bench.sh" "$project/build"
    exit 0
fi

echo "== Debian $release: make test"
in_root ${skip_missing:+env E2E_SKIP_MISSING=1} make -C "$project" test

echo "== Debian $release: the .deb made on $(. /etc/os-release && echo "$PRETTY_NAME"), installed with apt"
cp "$deb" "$root/tmp/"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$deb")"
status=0
in_root "$project/tests/e2e/e2e.sh" desktop "$project/build" "$entry" || status=$?
in_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q velmorade >/dev/null
exit $status
