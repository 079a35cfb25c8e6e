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
# shellcheck source=cmake/debian-root.sh
. "$(dirname "$0")/debian-root.sh"
build=$(mkdir -p "$1" && cd "$1" && pwd)
bench=
if [ "$2" = --bench ]; then bench=1; else deb=$(realpath "$2"); fi
# A check whose tool testing has dropped is skipped.
skip_missing=
case $release in trixie) ;; *) skip_missing=1 ;; esac
entry=/usr/share/applications/io.github.velmorade.Velmorade.desktop

root_make "$build/$release" "$release" --include=ca-certificates,make
root_enter fresh
root_project

if [ -n "$bench" ]; then
    echo "== Debian $release: what playing costs on each SDL stack"
    # On testing, X11 alone: the SDL it links is already sdl2-compat over SDL 3.
    packages="xvfb libsdl2-compat sway xwayland kwin-wayland dbus-daemon xdotool"
    [ -z "$skip_missing" ] || packages=xvfb
    apt_in_root install -y --no-install-recommends $packages >/dev/null
    in_root make -C "$project" build >/dev/null
    in_root "$project/bench/play_bench.sh" "$project/build"
    exit 0
fi

echo "== Debian $release: make test"
in_root ${skip_missing:+env E2E_SKIP_MISSING=1} make -C "$project" test

echo "== Debian $release: the .deb made on $(. /etc/os-release && echo "$PRETTY_NAME"), installed with apt"
cp "$deb" "$root/tmp/"
apt_in_root install -y "/tmp/$(basename "$deb")"
status=0
in_root "$project/tests/e2e/e2e.sh" desktop "$project/build" "$entry" || status=$?
apt_in_root remove -y velmorade >/dev/null
exit $status
