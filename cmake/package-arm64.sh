#!/bin/bash
# package-arm64.sh BUILD_DIR [ROOT]: the arm64 .deb, BUILD_DIR/velmorade_VERSION_arm64.deb, for
# Debian 12 and later and Raspberry Pi OS (64-bit). Cross-built on Debian 12, as the amd64 one is
# built, so that its dependencies are the oldest versions it serves, in a root of its own kept in
# ROOT (BUILD_DIR/bookworm-cross): arm64 is added to that root's dpkg (never to the system's), with
# Debian's cross compilers and the arm64 -dev packages. SOURCE_DATE_EPOCH, when set, goes in, so
# that the .deb is the same from build to build. Needs root, for debootstrap, chroot and mounts.
set -eu
# shellcheck source=cmake/debian-root.sh
. "$(dirname "$0")/debian-root.sh"
build=$(mkdir -p "$1" && cd "$1" && pwd)

cross=${2:-$build/bookworm-cross}
cross=$(mkdir -p "$(dirname "$cross")" && cd "$(dirname "$cross")" && pwd)/$(basename "$cross")

root_make "$cross" bookworm --include=ca-certificates
root_enter fresh
if [ ! -f "$root/.velmorade-cross" ]; then
    in_root dpkg --add-architecture arm64
    apt_in_root update >/dev/null
    touch "$root/.velmorade-cross"
fi
# What the build needs, as the Makefile's list has it, for arm64; the tools themselves run here.
apt_in_root install -y --no-install-recommends \
    cmake make pkg-config dpkg-dev file crossbuild-essential-arm64 libwayland-bin wayland-protocols \
    libsdl1.2-dev:arm64 libx11-dev:arm64 libxext-dev:arm64 libxrandr-dev:arm64 libxinerama-dev:arm64 \
    libwayland-dev:arm64 gettext po4a python3 appstream >"$root.log" 2>&1 || { tail -20 "$root.log" >&2; exit 1; }

root_project
# dpkg-shlibdeps takes the package's dependencies from the arm64 libraries it links, read with
# the cross objdump, once DEB_HOST_ARCH names arm64.
in_root env ${SOURCE_DATE_EPOCH:+SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH} TZ=UTC DEB_HOST_ARCH=arm64 sh -ec "
    cd $project
    cmake -S . -B build-arm64 -DCMAKE_BUILD_TYPE=Release -DVELMORADE_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake >/dev/null
    cmake --build build-arm64 -j $(nproc) >/dev/null
    cd build-arm64 && umask 022 && cpack >/dev/null"
deb=$(cd "$root$project/build-arm64" && ls velmorade_*_arm64.deb)
# One arm64 .deb in BUILD_DIR, this version's.
rm -f "$build"/velmorade_*_arm64.deb
cp "$root$project/build-arm64/$deb" "$build/"
echo "$build/$deb"
