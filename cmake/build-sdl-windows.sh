#!/bin/sh
# build-sdl-windows.sh DIR: builds SDL 1.2 for 64-bit Windows from Debian's own source package
# (Debian ships no Windows build) and installs it under DIR/sdl. A finished build is kept, so
# later runs return at once.
#
# The source comes through a private apt sources list kept in DIR, so the system's apt set-up is
# never touched; its mirror is the one the system's apt sources already name.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mkdir -p "$1" && cd "$1" && pwd)
prefix=$dir/sdl
host=x86_64-w64-mingw32

# A delay-import library for SDL.dll, for the screen saver: it loads SDL itself, from Velmorade's
# own folder, before the first call into it. Made from the DLL's own list of exports.
delay_library() {
    [ -f "$prefix/lib/libSDL.delay.a" ] && return 0
    { echo "LIBRARY SDL.dll"; echo EXPORTS
      # Each export's name ends its line in the table: "[   0] SDL_AddTimer", or with newer
      # binutils "[   0] +base[   1]  0000 SDL_AddTimer".
      $host-objdump -p "$prefix/bin/SDL.dll" | awk '/^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
          table && /^\t\[/ { print $NF } table && /^$/ { exit }'
    } >"$prefix/lib/SDL.def"
    $host-dlltool --input-def "$prefix/lib/SDL.def" --dllname SDL.dll --output-delaylib "$prefix/lib/libSDL.delay.a"
}
# SDL.dll carries no link time, so that each build of the same source is the same file. A build
# made with other flags than these is made again.
ldflags=-Wl,--no-insert-timestamp
if [ -f "$prefix/bin/SDL.dll" ] && [ -f "$prefix/lib/libSDLmain.a" ] && [ "$(cat "$prefix/ldflags" 2>/dev/null)" = "$ldflags" ]; then
    delay_library
    exit 0
fi

# Debian 13 has no classic SDL 1.2 source; bookworm's stays on the mirrors through its long-term
# support, so it comes from the system's own mirror whatever release the system runs.
mirror=$("$here/debian-mirror.sh")

apt=$dir/sdl-apt
rm -rf "$apt" "$dir/sdl-src" "$prefix"
mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache/archives/partial" "$dir/sdl-src"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm main" >"$apt/sources.list"
set -- -q -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts" \
    -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o APT::Sandbox::User=root
apt-get "$@" update
(cd "$dir/sdl-src" && apt-get "$@" source --download-only libsdl1.2)

# dpkg-source applies Debian's patches; the shipped configure knows the MinGW-w64 triplet.
cd "$dir/sdl-src"
dpkg-source -x libsdl1.2_*.dsc tree
cd tree
# Logs stay in the tree; a step that fails shows the end of its own.
step() {
    log=$1
    shift
    "$@" >"$log" 2>&1 || { tail -30 "$log" >&2; exit 1; }
}
step configure.log env CC=$host-gcc-posix LDFLAGS="$ldflags" ./configure --host=$host --prefix="$prefix" --disable-static --enable-shared
step make.log make -j "$(nproc)"
step install.log make install
$host-strip "$prefix/bin/SDL.dll"
cp COPYING "$prefix/COPYING-SDL.txt"
dpkg-parsechangelog -S Version >"$prefix/debian-version"
echo "$ldflags" >"$prefix/ldflags"
delay_library
echo "SDL for Windows in $prefix"
