#!/bin/bash
# e2e.sh CHECK BUILD_DIR [PACKAGE]: runs velmorade on a private Xvfb, or in a compositor's session,
# and checks what a user would see. The checks live by family in x11.sh, windows.sh, savers.sh,
# wayland.sh, web.sh and make.sh, each as check_CHECK, over what lib.sh, lib_xservers.sh and
# lib_sessions.sh share. With a PACKAGE the program is the one it carries: a .deb is unpacked and a
# desktop entry installed on the system is started through its Exec line, both with a PATH that
# lacks /usr/games; a Windows zip is unpacked and run under Wine, and the Windows setup installs and
# uninstalls under Wine; the web page is opened in the headless browser that E2E_BROWSER names
# (chromium, firefox).
#
# E2E_SDL picks the SDL 1.2 underneath: unset, the one the program links; "compat",
# sdl12-compat over SDL 2 where the system keeps it aside (Debian 12); "sdl3", sdl2-compat over
# SDL 3 (Debian 13). E2E_WM=openbox runs the check under a window manager. The program draws
# without OpenGL unless the check names a GL renderer in SDL_RENDER_DRIVER, as a user may.
# E2E_LAYOUT gives the monitors and saver_xscreensaver checks two monitors (lib_xservers.sh's
# start_layout). E2E_ROOT runs the program and the hack in that root, a system where the .deb is
# installed, of another architecture, which qemu-user runs (its /tmp the system's own, for the
# X server's socket); PACKAGE is then the desktop entry's path in it. The other E2E_ variables
# belong to one check each, which says what they do.
set -u

check=$1
build=$2
package=${3:-}
tools=$build/tests/e2e
work=$(mktemp -d)
here=$(cd "$(dirname "$0")" && pwd)
for file in lib lib_xservers lib_sessions x11 windows savers wayland web make; do
    # shellcheck source=/dev/null
    . "$here/$file.sh"
done
trap cleanup EXIT
declare -F "check_$check" >/dev/null || fail "no such check"

# A desktop session always has a runtime folder; without one SDL 3 complains on stderr while
# it looks for a Wayland display.
[ -n "${XDG_RUNTIME_DIR:-}" ] || { export XDG_RUNTIME_DIR=$work/runtime; mkdir -m 700 "$XDG_RUNTIME_DIR"; }

case ${E2E_SDL:-} in
'') ;;
compat)
    sdl_lib=$(dirname "$(dpkg -L libsdl1.2-compat 2>/dev/null | grep '/sdl12-compat/libSDL-1.2.so.0$' | head -1)")
    sdl_core=libSDL2-2.0.so
    ;;
sdl3)
    sdl_lib=$(dirname "$(dpkg -L libsdl2-compat 2>/dev/null | grep '/sdl2-compat/libSDL2-2.0.so.0$' | head -1)")
    sdl_core=libSDL3.so
    ;;
*) fail "no such SDL: $E2E_SDL" ;;
esac
[ "$sdl_lib" != . ] || fail "the $E2E_SDL SDL is not installed"

# exec_line ROOT ENTRY: the program a desktop entry starts, under ROOT.
exec_line() {
    local exec
    exec=$(sed -n 's/^Exec=//p' "$2" | head -1)
    case $exec in /*) ;; *) fail "the desktop entry starts \"$exec\", not a program by its path" ;; esac
    prog=$1$exec
}

# A menu starts the program with whatever PATH the session has, which may lack /usr/games.
PATH=$(echo ":$PATH:" | sed 's#:/usr/games:#:#g; s#:/usr/local/games:#:#g; s#^:##; s#:$##')
prog=$build/velmorade
hack=$build/velmorade-saver
if [ -n "${E2E_ROOT:-}" ]; then
    session_run="chroot $E2E_ROOT"
    hack=/usr/libexec/xscreensaver/velmorade
    exec_line "" "$E2E_ROOT$package"
    package=
fi
case $package in
*.deb)
    dpkg-deb -x "$package" "$work/deb" || fail "cannot unpack $package"
    exec_line "$work/deb" "$work/deb/usr/share/applications/io.github.velmorade.Velmorade.desktop"
    ;;
*.desktop) exec_line "" "$package" ;;
*.zip | *-setup.exe) windows_release "$package" ;;
?*) prog=$package ;;
esac

"check_$check"
echo "ok: $check"
