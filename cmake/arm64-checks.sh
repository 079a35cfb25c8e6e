#!/bin/bash
# arm64-checks.sh BUILD_DIR DEB: proves the arm64 .deb on Debian 12 arm64 (classic SDL 1.2, as
# the previous Raspberry Pi OS has it) and on Debian 13 arm64 (sdl12-compat), each in a root of its
# own kept in BUILD_DIR/RELEASE-arm64, whose programs qemu-user runs: the .deb is installed with apt,
# with what it depends on and nothing else, then the checks that prove the amd64 program run here
# on the one installed there (the desktop, no display, the hack in a given window), on an X server
# of this system's. The handler that has the kernel run arm64 programs through qemu-user, and the
# binfmt_misc file system it lives in, are turned on only while this runs, where they were not on
# already. Needs root, for debootstrap, chroot, mounts and binfmt_misc.
set -eu
# shellcheck source=cmake/debian-root.sh
. "$(dirname "$0")/debian-root.sh"
build=$(mkdir -p "$1" && cd "$1" && pwd)
deb=$(realpath "$2")
src=$(cd "$(dirname "$0")/.." && pwd)
entry=/usr/share/applications/io.github.velmorade.Velmorade.desktop

binfmt=/proc/sys/fs/binfmt_misc
binfmt_mounted= handler_enabled=
binfmt_off() {
    [ -z "$handler_enabled" ] || update-binfmts --disable qemu-aarch64 || true
    [ -z "$binfmt_mounted" ] || umount "$binfmt" || true
}
trap 'root_unmount; binfmt_off' EXIT
if [ ! -e "$binfmt/status" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt"
    binfmt_mounted=1
fi
if [ ! -e "$binfmt/qemu-aarch64" ]; then
    update-binfmts --enable qemu-aarch64
    handler_enabled=1
fi

# Nothing left from an earlier run, so that the .deb's own dependencies are all the program has.
purge() {
    ! in_root dpkg-query -W velmorade >/dev/null 2>&1 ||
        apt_in_root purge -y velmorade >/dev/null
    apt_in_root autoremove --purge -y >/dev/null
}

status=0
for release in bookworm:12 trixie:13; do
    set -- "${release%:*}" "${release#*:}"
    root_make "$build/$1-arm64" "$1" --arch=arm64
    root_enter shared
    purge
    echo "== Debian $2 arm64 (qemu-user): $(basename "$deb"), installed with apt"
    cp "$deb" "$root/tmp/velmorade-arm64.deb"
    apt_in_root install -y --no-install-recommends /tmp/velmorade-arm64.deb \
        >"$build/$1-arm64.log" 2>&1 || { tail -20 "$build/$1-arm64.log" >&2; exit 1; }
    rm -f "$root/tmp/velmorade-arm64.deb"
    for check in desktop no_display saver_window_16; do
        E2E_ROOT=$root "$src/tests/e2e/e2e.sh" "$check" "$build" "$entry" || status=1
    done
    purge
    root_unmount
done
exit $status
