#!/bin/bash
# e2e.sh CHECK BUILD_DIR [PACKAGE]: runs velmorade on a private Xvfb and checks what a user
# would see. With a PACKAGE the program is the one it carries: a .deb is unpacked and a desktop
# entry installed on the system is started through its Exec line, both with a PATH that lacks
# /usr/games; a Windows zip is unpacked and run under Wine, and the Windows setup installs and
# uninstalls under Wine; the web page is opened in the headless browser that E2E_BROWSER names
# (chromium, firefox).
#
# E2E_SDL picks the SDL 1.2 underneath: unset, the one the program links; "compat",
# sdl12-compat over SDL 2 where the system keeps it aside (Debian 12); "sdl3", sdl2-compat over
# SDL 3 (Debian 13). E2E_WM=openbox runs the check under a window manager. The program draws
# without OpenGL unless the check names a GL renderer in SDL_RENDER_DRIVER, as a user may.
# E2E_LAYOUT gives the monitors and saver_xscreensaver checks two monitors: "randr", one Xvfb
# screen split into two RandR monitors; "xorg", two X screens of Xorg's dummy driver joined by
# Xinerama. The wayland checks run the program in a sway session instead of on Xvfb.
set -u

check=$1
build=$2
package=${3:-}
prog=$build/velmorade
tools=$build/tests/e2e
work=$(mktemp -d)
app= xserver= wm= host= wine= sdl_lib= sdl_core= place= session= kwin_env=
# A desktop session always has a runtime folder; without one SDL 3 complains on stderr while
# it looks for a Wayland display.
[ -n "${XDG_RUNTIME_DIR:-}" ] || { export XDG_RUNTIME_DIR=$work/runtime; mkdir -m 700 "$XDG_RUNTIME_DIR"; }

cleanup() {
    for pid in $app $wm $host; do kill -9 "$pid" 2>/dev/null; done
    [ -z "$wine" ] || "$(dirname "$wine")/wineserver64" -k 2>/dev/null
    kill -9 $xserver 2>/dev/null
    # A Wayland compositor's session: sway or mutter, Xwayland, D-Bus, helpers.
    [ -z "$session" ] || kill -9 -- "-$session" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL ($check): $*"
    # A check may have stopped the X server; the report below asks it for its windows.
    [ -z "$xserver" ] || kill -CONT $xserver 2>/dev/null
    for f in "$work"/out "$work"/err; do [ -s "$f" ] && { echo "--- $f"; head -20 "$f"; }; done
    [ -n "$app" ] && { echo "--- program"; ps -o pid,stat,wchan:30,etime,cmd -p "$app"; }
    [ -n "${DISPLAY:-}" ] && { echo "--- windows"; xwininfo -root -tree 2>&1 | grep '0x' | head -20; }
    exit 1
}

# skip REASON: where E2E_SKIP_MISSING is set (a testing release, which may lack a tool), the check
# is skipped with the reason; elsewhere that is a failure.
skip() {
    [ -n "${E2E_SKIP_MISSING:-}" ] || fail "$*"
    echo "skipped ($check): $*"
    exit 77
}

# wait_for SECONDS COMMAND...: polls COMMAND until it succeeds.
wait_for() {
    local limit=$(( $1 * 20 )); shift
    for ((i = 0; i < limit; i++)); do "$@" && return 0; sleep 0.05; done
    return 1
}

# start_x WxHxD: a new X server on a free display. -noreset, because a server that resets when its
# last client leaves refuses connections for a moment, and SDL connects twice in a row.
start_x() {
    # A check may start another server: the file must not still name the last one.
    rm -f "$work/display"
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "$1" 3>"$work/display" 2>"$work/xvfb.log" &
    xserver=$!
    wait_for 20 grep -q . "$work/display" || fail "Xvfb did not start"
    export DISPLAY=:$(head -1 "$work/display")
}

# The two monitors of a layout, "W H X Y" each: of different sizes, the second not at the origin.
MONITORS=("1280 720 0 0" "1024 768 1280 48")

# start_layout: an X server whose screen spans the two MONITORS, as E2E_LAYOUT says, under
# E2E_WM if set.
start_layout() {
    case ${E2E_LAYOUT:-} in
    randr)
        start_x 2304x816x24
        { xrandr --setmonitor first 1280/339x720/191+0+0 screen && xrandr --setmonitor second 1024/271x768/203+1280+48 none; } >/dev/null ||
            fail "cannot split the screen into monitors"
        ;;
    xorg)
        Xorg -noreset -nolisten tcp -config "$(cd "$(dirname "$0")" && pwd)/two-screens.conf" -configdir "$work/none" -logfile "$work/xorg.log" \
            -displayfd 3 3>"$work/display" 2>/dev/null &
        xserver=$!
        wait_for 20 grep -q . "$work/display" || fail "Xorg did not start: $(grep EE "$work/xorg.log" | head -3)"
        export DISPLAY=:$(head -1 "$work/display")
        ;;
    *) fail "no such layout: ${E2E_LAYOUT:-}" ;;
    esac
    start_wm
}

# start_sway "WxH@SCALE...": sway, headless with the pixman renderer and
# Xwayland, one output for each size and scale, the last one focused; the program then runs
# there as in that desktop session. sway refuses root, so sway, the program and the tools that
# talk to it run as nobody, from copies in the work folder.
NOBODY=(setpriv --reuid=65534 --regid=65534 --clear-groups)

# session_folder [FILE...]: $work/wl, nobody's, for a compositor's session, with the program and
# FILEs in it; the program runs from there.
session_folder() {
    chmod 755 "$work"
    mkdir -m 700 "$work/wl" && cp "$prog" "$work/wl/velmorade" && { [ $# -eq 0 ] || cp "$@" "$work/wl/"; } &&
        chown -R 65534:65534 "$work/wl" || fail "cannot set up the compositor's session"
    prog=$work/wl/velmorade
}
start_sway() {
    local i=0 output
    session_folder
    for output in $1; do
        i=$((i + 1))
        echo "output HEADLESS-$i mode ${output%@*} scale ${output#*@} position $((i * 4000)) 0"
    done >"$work/wl/config"
    printf '%s\n' 'xwayland enable' "exec env >$work/wl/session" >>"$work/wl/config"
    setsid env -i XDG_RUNTIME_DIR="$work/wl" HOME="$work/wl" PATH=/usr/bin:/bin WLR_BACKENDS=headless \
        WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=$i "${NOBODY[@]}" sway -c "$work/wl/config" \
        >"$work/sway.log" 2>&1 &
    xserver=$! session=$!
    wait_for 30 grep -qs '^DISPLAY=' "$work/wl/session" || fail "sway did not start: $(tail -3 "$work/sway.log")"
    unset DISPLAY
    export XDG_RUNTIME_DIR=$work/wl HOME=$work/wl
    export $(grep -E '^(WAYLAND_DISPLAY|DISPLAY|SWAYSOCK)=' "$work/wl/session")
    launcher=${NOBODY[*]}
    in_sway swaymsg focus output "HEADLESS-$i" >/dev/null
}
in_sway() { "${NOBODY[@]}" "$@"; }

# start_mutter [--no-x11]: GNOME's compositor, headless with one virtual 1920 x 1080 monitor, in a
# D-Bus session of its own, as nobody; with Xwayland unless told otherwise.
start_mutter() {
    session_folder "$tools/libflip_recorder.so"
    setsid "${NOBODY[@]}" env -i XDG_RUNTIME_DIR="$work/wl" HOME="$work/wl" PATH=/usr/bin:/bin \
        dbus-run-session -- mutter --headless --wayland --virtual-monitor 1920x1080 "$@" >"$work/mutter.log" 2>&1 &
    session=$!
    wait_for 30 test -S "$work/wl/wayland-0" || fail "mutter did not start: $(tail -3 "$work/mutter.log")"
    unset DISPLAY
    export XDG_RUNTIME_DIR=$work/wl HOME=$work/wl WAYLAND_DISPLAY=wayland-0
    if [ "${1:-}" != --no-x11 ]; then
        wait_for 30 grep -q 'Using public X11 display' "$work/mutter.log" || fail "mutter has no Xwayland"
        export DISPLAY=$(grep -o 'Using public X11 display :[0-9]*' "$work/mutter.log" | grep -o ':[0-9]*$')
        export XAUTHORITY=$(echo "$work"/wl/.mutter-Xwaylandauth.*)
    fi
    launcher=${NOBODY[*]}
}

# start_nested kwin|weston W H SCALE: a compositor that leaves decorations to the program, as
# nobody in a D-Bus session of its own, nested in a new X server whose screen is its output's
# picture: an output of W x H pixels at SCALE at the screen's origin, and a margin right of it
# where the pointer stays, so that no cursor is drawn on the output. KWin without its decoration
# plugin, with Xwayland, its output's scale in its own configuration and whether X programs draw
# at the output's own pixels in KDE's (E2E_KWIN_CLIENTS_SCALE, true unless told otherwise); the
# program then runs in KWin's session, with its X display. Weston, which never decorates a window,
# at a whole SCALE, without its panel, and without input: with a pointer it would draw the
# program's cursor on the output wherever its pointer is; the program runs on its Wayland display
# alone.
start_nested() {
    local compositor=$1 w=$2 h=$3 scale=$4
    start_x "$((w + 64))x${h}x24"
    xdotool mousemove "$((w + 32))" "$((h / 2))"
    [ -d "$work/wl" ] || session_folder
    mkdir -p "$work/wl/.config"
    if [ "$compositor" = kwin ]; then
        printf '[org.kde.kdecoration2]\nNoPlugin=true\n' >"$work/wl/.config/kwinrc"
        printf '[KScreen]\nXwaylandClientsScale=%s\n' "${E2E_KWIN_CLIENTS_SCALE:-true}" >"$work/wl/.config/kdeglobals"
        sed -e "s/@WIDTH@/$w/; s/@HEIGHT@/$h/; s/@SCALE@/$scale/" "$(dirname "$0")/kwinoutputconfig.json" \
            >"$work/wl/.config/kwinoutputconfig.json"
        # KWin starts this once Xwayland is up, with the session's environment; it lasts as long
        # as KWin's socket.
        printf '#!/bin/sh\nenv >%s\nwhile [ -S "$XDG_RUNTIME_DIR/wayland-nested" ]; do sleep 1; done\n' \
            "$work/wl/session.new" >"$work/wl/session-start"
        chmod 755 "$work/wl/session-start"
        rm -f "$work/wl/session"
        # What a KWin script prints, and what KWin says of its scripts, go to KWin's log.
        set -- env 'QT_LOGGING_RULES=js.debug=true;kwin_scripting.debug=true' \
            kwin_wayland --x11-display "$DISPLAY" --width "$w" --height "$h" --socket wayland-nested \
            --no-lockscreen --no-global-shortcuts --xwayland "$work/wl/session-start"
    else
        printf '[shell]\npanel-position=none\n' >"$work/wl/.config/weston.ini"
        set -- weston --backend=x11 --renderer=pixman --width=$((w / scale)) --height=$((h / scale)) --scale="$scale" \
            --socket=wayland-nested --no-input
    fi
    chown -R 65534:65534 "$work/wl/.config"
    setsid "${NOBODY[@]}" env -i XDG_RUNTIME_DIR="$work/wl" HOME="$work/wl" PATH=/usr/bin:/bin DISPLAY="$DISPLAY" \
        dbus-run-session -- "$@" >"$work/$compositor.log" 2>&1 &
    session=$!
    wait_for 30 test -S "$work/wl/wayland-nested" || fail "$compositor did not start: $(tail -3 "$work/$compositor.log")"
    launcher="${NOBODY[*]} env -u DISPLAY XDG_RUNTIME_DIR=$work/wl HOME=$work/wl WAYLAND_DISPLAY=wayland-nested"
    [ "$compositor" = kwin ] || return 0
    wait_for 30 eval 'grep -qs "^DISPLAY=" "$work/wl/session.new" && mv "$work/wl/session.new" "$work/wl/session"' ||
        fail "KWin started no Xwayland: $(tail -3 "$work/kwin.log")"
    kwin_env=$(grep -E '^(DISPLAY|XAUTHORITY|DBUS_SESSION_BUS_ADDRESS)=.' "$work/wl/session" | tr '\n' ' ')
    launcher="${NOBODY[*]} env XDG_RUNTIME_DIR=$work/wl HOME=$work/wl WAYLAND_DISPLAY=wayland-nested $kwin_env"
}
# shellcheck disable=SC2086 # $kwin_env is assignments
in_kwin() { "${NOBODY[@]}" env XDG_RUNTIME_DIR="$work/wl" HOME="$work/wl" $kwin_env "$@"; }

# kwin_window W H: KWin's own list, asked by a script over D-Bus, has one window captioned
# Velmorade, full screen, covering the output's W x H of its units; kwin_drawn says which window
# system the program draws through: x11 where Xwayland has the window, else wayland.
kwin_window() {
    local script=$work/wl/windows.js id listed
    kwin_scripts=$((${kwin_scripts:-0} + 1))
    cat >"$script" <<EOF
const windows = workspace.windowList();
for (let i = 0; i < windows.length; i++) {
    const w = windows[i], g = w.frameGeometry;
    if (w.caption === "Velmorade")
        print("velmorade-$kwin_scripts", w.fullScreen, g.x, g.y, g.width, g.height);
}
print("velmorade-$kwin_scripts end");
EOF
    chmod 644 "$script"
    id=$(in_kwin dbus-send --session --print-reply --dest=org.kde.KWin /Scripting org.kde.kwin.Scripting.loadScript \
        "string:$script" "string:velmorade-$kwin_scripts" | awk '/int32/ { print $2 }')
    [ -n "$id" ] && [ "$id" -ge 0 ] || fail "KWin did not load the script"
    in_kwin dbus-send --session --print-reply --dest=org.kde.KWin "/Scripting/Script$id" org.kde.kwin.Script.run >/dev/null
    wait_for 10 grep -qa "velmorade-$kwin_scripts end" "$work/kwin.log" || fail "KWin's script did not run"
    listed=$(grep -a "js: velmorade-$kwin_scripts " "$work/kwin.log" | grep -v ' end$' | sed 's/.*velmorade-[0-9]* //')
    [ "$listed" = "true 0 0 $1 $2" ] || fail "KWin lists, of windows captioned Velmorade: ${listed:-none}; not one full screen at 0,0 of ${1}x$2"
    kwin_drawn=wayland
    [ -z "$(in_kwin xdotool search --name '^Velmorade$' 2>/dev/null)" ] || kwin_drawn=x11
}

# check_nested W H [--no-input | --kwin SCALE x11|wayland]: the nested compositor's output is an
# exact frame of W x H that moves, and Escape, typed into the compositor's window, ends the
# program with 1; SIGTERM does where the compositor has no input. Under KWin, its window is full
# screen and drawn through the window system named.
check_nested() {
    place="0 0"
    wait_for 30 shows_frame "$1" "$2" -root >/dev/null || fail "the output is not a ${1}x$2 frame: $(cat "$work/match.err")"
    moving "$1" "$2" || fail "the picture does not move: $(cat "$work/match.err")"
    [ -z "$sdl_core" ] || grep -q "/$sdl_core" "/proc/$app/maps" || fail "not running on $sdl_core"
    if [ "${3:-}" = --kwin ]; then
        # shellcheck disable=SC2046 # two numbers
        kwin_window $(awk -v w="$1" -v h="$2" -v s="$4" 'BEGIN { printf "%d %d", w / s, h / s }')
        [ "$kwin_drawn" = "$5" ] || fail "at scale $4 it draws through $kwin_drawn, not $5"
        [ "$kwin_drawn" = wayland ] || on_named_sdl
    fi
    if [ "${3:-}" = --no-input ]; then
        kill -TERM "$app"
    else
        xdotool mousemove "$(($1 / 2))" "$(($2 / 2))" key Escape
    fi
    expect_exit 1
    place=
    kill -9 -- "-$session" "$xserver" 2>/dev/null
    wait 2>/dev/null
    session= xserver=
    rm -f "$work/wl/wayland-nested" "$work/wl/wayland-nested.lock"
}

# wl_frame OUTPUT W H: the output's picture, taken with grim, equals a frame; prints its number.
wl_frame() {
    in_sway grim -o "$1" -t ppm - >"$work/shot.ppm" 2>/dev/null && "$tools/e2e_tool" match "$2" "$3" "$work/shot.ppm" 2>"$work/match.err"
}

# check_wayland OUTPUT W H SHELL: the program fills the output with exact frames that move, in a
# window of that shell (xwayland, xdg_shell), and Escape ends it with status 1.
check_wayland() {
    local shell
    wait_for 30 wl_frame "$1" "$2" "$3" >/dev/null || fail "$1 is not a ${2}x$3 frame: $(cat "$work/match.err")"
    moving wl_frame "$1" "$2" "$3" || fail "the picture on $1 does not move"
    shell=$(in_sway swaymsg -t get_tree | grep -o '"shell": "[a-z_]*"' | sort -u | tr -d '" ')
    [ "$shell" = "shell:$4" ] || fail "the window's shell is ${shell:-none}, not $4"
    # Through Xwayland it draws as on X11, without OpenGL.
    [ "$4" = xdg_shell ] || on_named_sdl
    # A virtual keyboard's first key may come before its keymap has reached the program.
    escaped() { in_sway wtype -s 200 -k Escape; wait_for 2 app_gone; }
    wait_for 20 escaped || fail "Escape did not end it"
    expect_exit 1
}

# What a mode change would alter: RandR's outputs and modes, and the XFree86-VidMode mode that
# SDL 1.2 switches where the server has no RandR.
modes() { xrandr --query 2>&1; xvidtune -show 2>&1; }

start_x_wm() {
    start_x "$1"
    start_wm
}

start_wm() {
    [ -n "${E2E_WM:-}" ] || return 0
    "$E2E_WM" >/dev/null 2>&1 &
    wm=$!
    # Ready once it manages a window: SDL 2 waits for ever for its window to be mapped, and a
    # window manager still starting up may leave the request unanswered. The probe's window is
    # then gone from its list before the program starts, whose first window may reuse its id.
    "$tools/e2e_tool" window 16 16 >"$work/probe" &
    local probe=$!
    managed() { [ -s "$work/probe" ] && xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -qw "$(cat "$work/probe")"; }
    wait_for 20 managed || fail "$E2E_WM did not start"
    kill "$probe"
    wait "$probe" 2>/dev/null
    wait_for 20 eval '! managed' || fail "$E2E_WM did not let the probe window go"
}

# start_app [ENV ARGUMENTS] [-- PROGRAM ARGUMENTS]: starts the program in the background with
# env's options and assignments, through $launcher if set.
start_app() {
    local envs=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do envs+=("$1"); shift; done
    [ $# -eq 0 ] || shift
    env "${envs[@]}" ${sdl_lib:+LD_LIBRARY_PATH="$sdl_lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"} ${launcher:-} \
        $wine "$prog" "$@" </dev/null >"$work/out" 2>"$work/err" &
    app=$!
}

# The program runs on the SDL its runner names, with OpenGL loaded only where the check asks for
# a GL renderer: without a 3D driver GL costs a core for what a copy does.
on_named_sdl() {
    [ -z "$sdl_core" ] || grep -q "/$sdl_core" "/proc/$app/maps" || fail "not running on $sdl_core"
    [ -z "$wine" ] || return 0
    # On 30 bits SDL's framebuffer goes through OpenGL: SDL 2 has none in software, and SDL 3's
    # would show white as grey.
    [ "$check" = deep_colour ] && grep -q '/libSDL[23]' "/proc/$app/maps" && return 0
    local gl
    gl=$(grep -oE '/lib(GL|GLX|EGL|gallium)[-._][^/]*$' "/proc/$app/maps" | sort -u | tr '\n' ' ')
    case ${SDL_RENDER_DRIVER:-} in
    opengl*) [ -n "$gl" ] || fail "SDL_RENDER_DRIVER=$SDL_RENDER_DRIVER, yet no OpenGL library is loaded" ;;
    *) [ -z "$gl" ] || fail "OpenGL is loaded: $gl" ;;
    esac
}

# Waits for the program to end by itself and checks its exit status.
expect_exit() {
    wait_for "${2:-20}" app_gone || fail "still running"
    wait "$app"; local status=$?; app=
    [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}
app_gone() { ! kill -0 "$app" 2>/dev/null; }
# path_without COMMAND...: $work/bin, every command of /usr/bin and /bin but these, for a PATH.
path_without() {
    mkdir "$work/bin" || fail "cannot make $work/bin"
    local f
    for f in /usr/bin/* /bin/*; do
        case " $* " in *" ${f##*/} "*) ;; *) ln -sf "$f" "$work/bin/" ;; esac
    done
}
# The program has a connection open: to its display, which may not answer.
connected() { ls -l "/proc/$app/fd" 2>/dev/null | grep -q 'socket:'; }
silent_display_said() {
    [ "$(cat "$work/err")" = "Fatal-Error: The display did not answer within 10 seconds" ] ||
        fail "stderr: $(cat "$work/err")"
}

window_named() { xdotool search --name "^$1\$" 2>/dev/null | head -1; }
have_window() { [ -n "$(window_named "$1")" ]; }

# Geometry of a window as "x y w h", from xwininfo.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}'
}

# shows_frame W H [xwd args]: the picture, or its W x H part at $place ("X Y") when set, equals
# one of the frames; prints its number.
shows_frame() {
    local w=$1 h=$2; shift 2
    # shellcheck disable=SC2086 # $place is two numbers or nothing
    xwd -silent "$@" >"$work/shot.xwd" 2>/dev/null &&
        "$tools/e2e_tool" match "$w" "$h" "$work/shot.xwd" $place 2>"$work/match.err"
}

# moving W H, or moving COMMAND...: screenshots of the whole screen, or those COMMAND takes and
# matches (wl_frame), go on to show another frame than the first one caught.
moving() {
    local first= now i
    [ -n "${1//[0-9]/}" ] || set -- shows_frame "$1" "$2" -root
    for ((i = 0; i < 200; i++)); do
        if now=$("$@"); then
            [ -n "$first" ] || first=$now
            [ "$now" = "$first" ] || return 0
        fi
        sleep 0.05
    done
    return 1
}

# own_icon WINDOW: the window's icon is the program's black and white one (every pixel grey,
# both black and white present), not Wine's coloured default.
own_icon() {
    xprop -id "$1" -notype 32c _NET_WM_ICON | awk -F'[=,] *' 'NF > 4 {
        for (i = 4; i < 4 + $2 * $3; i++) {
            r = int($i / 65536) % 256; g = int($i / 256) % 256; b = $i % 256
            if (r != g || g != b) exit 1
            if ($i >= 4278190080) { if (r == 0) black = 1; if (r == 255) white = 1 }
        }
        found = black && white
    } END { exit !found }'
}

# The whole desktop, or the monitor at X Y, shows the animation, in one window captioned
# Velmorade that covers it exactly; Escape ends it.
check_desktop() {
    local w=$1 h=$2 x=${3:-0} y=${4:-0}
    [ $# -lt 3 ] || place="$x $y"
    wait_for 30 have_window Velmorade || fail "no window captioned Velmorade"
    on_named_sdl
    [ "$(xdotool search --name '^Velmorade$' | wc -l)" -eq 1 ] || fail "more than one Velmorade window"
    wait_for 30 shows_frame "$w" "$h" -root >/dev/null || fail "screen is not a frame: $(cat "$work/match.err")"
    # The visible window covering the screen, or the monitor, is the program's.
    local covering
    covering=$(xwininfo -root -children | awk '/^ +0x/{print $1}' | while read -r id; do
        xwininfo -id "$id" | grep -q 'IsViewable' && [ "$(geometry "$id")" = "$x $y $w $h" ] && echo "$id"; done)
    [ -n "$covering" ] || fail "no window covers exactly ${w}x$h at $x,$y"
    [ ! -s "$work/out" ] || fail "unexpected standard output"
    moving "$w" "$h" || fail "the picture does not move"
    [ -z "$wine" ] || own_icon "$(window_named Velmorade)" || fail "the window does not carry the program's icon"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) key Escape
    expect_exit 1
    place=
}

# The Windows saver's /s: full screen, the screen a frame that moves; a key ends it with status 0.
check_saver() {
    start_app -- /s
    wait_for 30 have_window Velmorade || fail "no window captioned Velmorade"
    wait_for 30 shows_frame 1280 720 -root >/dev/null || fail "screen is not a frame: $(cat "$work/match.err")"
    moving 1280 720 || fail "the picture does not move"
    xdotool key a
    expect_exit 0
}

# exec_line ROOT ENTRY: the program a desktop entry starts, under ROOT.
exec_line() {
    local exec
    exec=$(sed -n 's/^Exec=//p' "$2" | head -1)
    case $exec in /*) ;; *) fail "the desktop entry starts \"$exec\", not a program by its path" ;; esac
    prog=$1$exec
}

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

# A menu starts the program with whatever PATH the session has, which may lack /usr/games.
PATH=$(echo ":$PATH:" | sed 's#:/usr/games:#:#g; s#:/usr/local/games:#:#g; s#^:##; s#:$##')
case $package in
*.deb)
    dpkg-deb -x "$package" "$work/deb" || fail "cannot unpack $package"
    exec_line "$work/deb" "$work/deb/usr/share/applications/io.github.velmorade.Velmorade.desktop"
    ;;
*.desktop)
    exec_line "" "$package"
    ;;
*.zip | *-setup.exe)
    # The Windows release under Wine, in a prefix kept beside it: the zip unpacked as a user
    # would; the setup, which installs into the system, in a fresh copy of that prefix.
    wine=$(dpkg -L wine64 2>/dev/null | grep '/wine64$' | head -1)
    [ -x "$wine" ] || skip "wine64 is not installed"
    # No menu entries on this system for the shortcuts the setup makes.
    export WINEPREFIX=${WINEPREFIX:-$(dirname "$package")/wine} WINEDEBUG=-all,+msgbox \
        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    # Made once, as it takes a while. Managed=N: without a window manager, Wine's managed
    # windows take seconds to close.
    (
        flock 9
        [ -f "$WINEPREFIX/velmorade-ready" ] && exit 0
        env -u DISPLAY "$wine" wineboot -i &&
            "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f &&
            "$(dirname "$wine")/wineserver64" -w && touch "$WINEPREFIX/velmorade-ready"
    ) 9>"$WINEPREFIX.lock" >"$work/wineboot.log" 2>&1 || fail "no Wine prefix: $(tail -5 "$work/wineboot.log")"
    if [ "${package%.zip}" = "$package" ]; then
        cp -a "$WINEPREFIX" "$work/prefix" || fail "cannot copy the Wine prefix"
        export WINEPREFIX=$work/prefix
        prog=$package
    else
        unzip -q "$package" -d "$work/release" || fail "cannot unpack $package"
        prog=$(echo "$work"/release/*/velmorade.exe)
        [ -f "$prog" ] || fail "no velmorade.exe in $package"
        # The preview host, built beside the release for the tests, goes beside the saver.
        cp "$(dirname "$package")/preview_host.exe" "$(dirname "$prog")/" || fail "no preview_host.exe beside $package"
    fi
    ;;
esac

case $check in
desktop)
    start_x_wm 1280x720x24
    start_app
    check_desktop 1280 720
    ;;
deep_colour)
    # 30-bit colour, 10 bits a channel, as deep-colour monitors are run.
    start_x_wm 1280x720x30
    start_app
    check_desktop 1280 720
    ;;
monitors)
    # On two monitors the program fills the one under the pointer, the second and then the first,
    # each with exact frames of its own size; no mode changes, before, while or after it plays.
    start_layout
    modes >"$work/modes"
    for monitor in "${MONITORS[1]}" "${MONITORS[0]}"; do
        read -r w h x y <<<"$monitor"
        xdotool mousemove $((x + w / 2)) $((y + h / 2))
        start_app
        wait_for 30 have_window Velmorade || fail "no window captioned Velmorade"
        [ "$(modes)" = "$(cat "$work/modes")" ] || fail "a mode changed while it plays: $(modes)"
        check_desktop "$w" "$h" "$x" "$y"
    done
    [ "$(modes)" = "$(cat "$work/modes")" ] || fail "a mode changed after it ended: $(modes)"
    ;;
lost_display)
    # The X server goes away under the running program: it ends with status 1.
    start_x_wm 640x480x24
    start_app
    wait_for 30 shows_frame 640 480 -root >/dev/null || fail "screen is not a frame: $(cat "$work/match.err")"
    on_named_sdl
    [ -z "$wm" ] || kill -9 "$wm"
    kill -9 "$xserver"
    xserver=
    expect_exit 1 2
    ;;
desktop_8)
    # An 8-bit display: classic SDL draws the picture; under sdl12-compat, SDL 2 cannot and SDL 3
    # crashes trying, so the program says so before SDL starts.
    start_x 1280x720x8
    start_app
    sdl12=$(env ${sdl_lib:+LD_LIBRARY_PATH="$sdl_lib"} ldd "$prog" | awk '/libSDL-1.2/ { print $3 }')
    if grep -q SDL12COMPAT "$sdl12"; then
        wait_for 30 have_window Fatal-Error || fail "no Fatal-Error box"
        xdotool key Return
        expect_exit 1
        [ "$(cat "$work/err")" = "Fatal-Error: The display has 256 colours or fewer; SDL 2 and SDL 3 cannot draw on it." ] ||
            fail "stderr: $(cat "$work/err")"
    else
        check_desktop 1280 720
    fi
    ;;
desktop_odd)
    start_x 1023x767x24
    start_app
    check_desktop 1023 767
    ;;
cycle)
    # Frames come in order 0, 1, ..., 13, 0, ... and no faster than one every 25 ms.
    start_x 640x480x24
    start_app LD_PRELOAD="$tools/libflip_recorder.so" VELMORADE_FLIP_LOG="$work/flips"
    enough() { [ -f "$work/flips" ] && [ "$(wc -l <"$work/flips")" -ge 60 ]; }
    wait_for 60 enough || fail "fewer than 60 flips"
    xdotool mousemove 320 240 key Escape
    expect_exit 1
    # SDL itself flips once to clear the new screen before the first frame.
    awk '$2 == "caption" || n == 0 && $2 == -1 { next }
         n == 0 && $2 != 0 { print "first frame " $2; bad = 1 }
         n > 0 && $2 != (prev + 1) % 14 { print "frame " $2 " after " prev " at flip " n + 1; bad = 1 }
         { prev = $2; t[++n] = $1 }
         END {
             if (n < 40) { print "only " n " frames"; bad = 1 }
             for (i = 21; i <= n; i++)
                 if (t[i] - t[i - 20] < 20 * 25000 - 10000) {
                     printf "20 flips in %d us, faster than 40 a second\n", t[i] - t[i - 20]; bad = 1; break
                 }
             exit bad
         }' "$work/flips" >"$work/cycle.err" || fail "$(cat "$work/cycle.err")"
    ;;
fixed_24 | fixed_16)
    # An SDL older than 1.2.10: the fixed 1024x768 window, a line on stdout; closing it ends it.
    start_x "1280x1024x${check#fixed_}"
    start_app LD_PRELOAD="$tools/libold_sdl.so"
    wait_for 30 have_window Velmorade || fail "no window captioned Velmorade"
    win=$(window_named Velmorade)
    wait_for 30 shows_frame 1024 768 -id "$win" >/dev/null || fail "window is not a frame: $(cat "$work/match.err")"
    read -r _ _ ww wh <<<"$(geometry "$win")"
    [ "$ww $wh" = "1024 768" ] || fail "window is ${ww}x$wh"
    [ "$(cat "$work/out")" = "Old SDL Version falling back to fixed size (1024x768)" ] ||
        fail "standard output: $(cat "$work/out")"
    "$tools/e2e_tool" close "$win"
    expect_exit 1
    ;;
fatal_box)
    # SDL cannot start: a dialog titled Fatal-Error waits until Return dismisses it.
    start_x 800x600x24
    xdotool mousemove 0 0
    start_app SDL_VIDEODRIVER=no_such_driver
    wait_for 20 have_window Fatal-Error || fail "no Fatal-Error window"
    box=$(window_named Fatal-Error)
    xprop -id "$box" WM_NAME | grep -qx 'WM_NAME(STRING) = "Fatal-Error"' || fail "WM_NAME: $(xprop -id "$box" WM_NAME)"
    xprop -id "$box" _NET_WM_NAME | grep -qx '_NET_WM_NAME(UTF8_STRING) = "Fatal-Error"' || fail "no _NET_WM_NAME"
    wait_for 10 grep -q . "$work/err" || fail "nothing on stderr"
    sleep 1
    kill -0 "$app" 2>/dev/null || fail "did not wait for the box"
    xdotool key Return
    expect_exit 1
    # A logout's SIGTERM ends it at once while the box waits, with the same status.
    if [ -z "$wine" ]; then
        start_app SDL_VIDEODRIVER=no_such_driver
        wait_for 20 have_window Fatal-Error || fail "no Fatal-Error window the second time"
        kill -TERM "$app"
        expect_exit 1 5
    fi
    if [ -n "$wine" ]; then
        # Wine traces what its message box holds. SDL's Windows start-up sends the program's
        # stderr to stderr.txt beside it.
        grep -q 'MSGBOX_OnInit L"No available video device"' "$work/err" || fail "the box does not hold SDL's text"
        tr -d '\r' <"$(dirname "$prog")/stderr.txt" >"$work/err" || fail "no stderr.txt beside the program"
    fi
    # The box holds SDL's own text, which differs between the SDLs.
    [ "$(wc -l <"$work/err")" -eq 1 ] && grep -qx 'Fatal-Error: ..*' "$work/err" || fail "stderr: $(cat "$work/err")"
    ;;
close)
    # Closing the window, as a window manager's close button asks, ends it with status 1.
    start_x 800x600x24
    start_app
    wait_for 30 shows_frame 800 600 -root >/dev/null || fail "screen is not a frame: $(cat "$work/match.err")"
    "$tools/e2e_tool" close "$(window_named Velmorade)"
    expect_exit 1
    ;;
imports)
    # A program without a console that needs nothing beyond Windows' own DLLs and SDL.dll.
    x86_64-w64-mingw32-objdump -p "$prog" | grep -q 'Subsystem.*(Windows GUI)' || fail "not a Windows GUI program"
    for f in "$prog" "$(dirname "$prog")/SDL.dll"; do
        others=$(x86_64-w64-mingw32-objdump -p "$f" | awk '/DLL Name:/ { print $3 }' |
            grep -viE '^(SDL|kernel32|user32|gdi32|advapi32|msvcrt|winmm)\.dll$')
        [ -z "$others" ] || fail "$(basename "$f") needs $others"
    done
    ;;
no_display)
    # No display at all: the stderr line and status 1, without hanging, whether the X11 driver
    # is asked for or SDL falls back to one that draws nowhere or in text. setsid and no terminal
    # on stdin keep a text driver off the terminal that runs the tests.
    unset DISPLAY
    start_app SDL_VIDEODRIVER=x11
    expect_exit 1 10
    grep -q '^Fatal-Error: .' "$work/err" || fail "no Fatal-Error line on stderr"
    launcher="setsid -w" start_app -u SDL_VIDEODRIVER
    expect_exit 1 10
    [ "$(tail -1 "$work/err")" = "Fatal-Error: No available video device" ] || fail "stderr: $(cat "$work/err")"
    ;;
sigterm)
    start_x 640x480x24
    start_app
    wait_for 30 shows_frame 640 480 -root >/dev/null || fail "screen is not a frame"
    kill -TERM "$app"
    expect_exit 1
    ;;
display_stopped)
    # An X server that has stopped answering. Before the program starts: SIGTERM ends it with 1
    # while it waits; left alone, it gives up after 10 s with 1 and says why. While it plays:
    # SIGTERM ends it with 1, though SDL cannot show the next frame.
    start_x 640x480x24
    kill -STOP "$xserver"
    start_app
    wait_for 20 connected || fail "it never connected to the X server"
    kill -TERM "$app"
    expect_exit 1 5
    start_app
    expect_exit 1 30
    silent_display_said
    kill -CONT "$xserver"
    start_app
    wait_for 30 shows_frame 640 480 -root >/dev/null || fail "screen is not a frame"
    kill -STOP "$xserver"
    kill -TERM "$app"
    expect_exit 1 5
    kill -CONT "$xserver"
    ;;
wayland_silent)
    # A Wayland session whose compositor is gone: the box, and 1. One that takes the connection
    # and never answers: SIGTERM ends it with 1 while SDL waits; left alone, it gives up after
    # 10 s with 1 and says why.
    start_app -u DISPLAY WAYLAND_DISPLAY="$work/wayland-silent"
    expect_exit 1
    grep -q '^Fatal-Error: ' "$work/err" || fail "no Fatal-Error without a compositor: $(cat "$work/err")"
    python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(8); time.sleep(600)' "$work/wayland-silent" &
    host=$!
    wait_for 20 test -S "$work/wayland-silent" || fail "the silent compositor did not start"
    start_app -u DISPLAY WAYLAND_DISPLAY="$work/wayland-silent"
    wait_for 20 connected || fail "it never connected to the compositor"
    kill -TERM "$app"
    expect_exit 1 5
    start_app -u DISPLAY WAYLAND_DISPLAY="$work/wayland-silent"
    expect_exit 1 30
    silent_display_said
    ;;
out_of_memory)
    # Frames that do not fit: the display is given back before the box says so.
    start_x 3000x2000x24
    launcher="prlimit --as=$((200000 * 1024))" start_app
    wait_for 30 have_window Fatal-Error || fail "no Fatal-Error window"
    ! have_window Velmorade || fail "the full-screen window is still there behind the box"
    xdotool key Return
    expect_exit 1
    [ "$(cat "$work/err")" = "Fatal-Error: The animation frames need 336000000 bytes and could not be allocated." ] ||
        fail "stderr: $(cat "$work/err")"
    ;;
scr_full_screen)
    start_x 1280x720x24
    prog=${prog%.exe}.scr
    check_saver
    ;;
setup)
    # The setup in a fresh prefix, silently as administrators deploy it, twice, the second time
    # over an older install; the program from its Start-menu entry; the saver as Windows runs it
    # from the system folder; then the uninstaller, which must leave nothing of it behind and
    # everything else as it was.
    start_x 1280x720x24
    c=$WINEPREFIX/drive_c
    folder="$c/Program Files/Velmorade"
    link="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Velmorade.lnk"
    apps='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmorade'
    version=${package##*/velmorade-}
    version=${version%-win64-setup.exe}
    echo "another saver" >"$c/windows/system32/other.scr"
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE /d 'C:\windows\system32\other.scr' /f >/dev/null
    start_app -- /S
    expect_exit 0 60
    for f in velmorade.exe SDL.dll README.txt LICENSE.txt LICENSE-SDL.txt uninstall.exe; do
        [ -f "$folder/$f" ] || fail "no $f in Program Files"
    done
    [ -f "$c/windows/system32/velmorade.scr" ] || fail "no velmorade.scr in the system folder"
    ! ls "$c"/windows/system32/SDL* "$c"/windows/syswow64/SDL* 2>/dev/null || fail "SDL in the system folder"
    [ -f "$link" ] || fail "no Start-menu entry"
    entry=$("$wine" reg query "$apps" 2>/dev/null)
    for value in DisplayName DisplayVersion Publisher DisplayIcon UninstallString EstimatedSize; do
        grep -q "^ *$value " <<<"$entry" || fail "the Apps entry has no $value"
    done
    "$wine" reg add "$apps" /v DisplayVersion /d 0.9.0 /f >/dev/null
    start_app -- /S
    expect_exit 0 60
    "$wine" reg query "$apps" /v DisplayVersion | grep -q "REG_SZ *$version" || fail "the upgrade left another version"

    target=$(strings "$link" | grep -m1 '^[A-Z]:\\.*\.exe$')
    [ "$target" = 'C:\Program Files\Velmorade\velmorade.exe' ] || fail "the Start-menu entry starts $target"
    prog=$target
    start_app
    check_desktop 1280 720
    prog='C:\windows\system32\velmorade.scr'
    check_saver

    # The uninstaller goes on in a copy of itself: the prefix's processes all end with it.
    prog='C:\Program Files\Velmorade\uninstall.exe'
    start_app -- /S
    expect_exit 0 60
    timeout 60 "$(dirname "$wine")/wineserver64" -w || fail "the uninstaller did not finish"
    left=$(cd "$c" && ls -d "Program Files/Velmorade" windows/system32/velmorade.scr "${link#"$c"/}" 2>/dev/null)
    [ -z "$left" ] || fail "the uninstaller left $left"
    ! "$wine" reg query "$apps" >/dev/null 2>&1 || fail "the uninstaller left the Apps entry"
    [ -f "$c/windows/system32/other.scr" ] || fail "the uninstaller removed another saver"
    "$wine" reg query 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE | grep -qF 'other.scr' ||
        fail "the uninstaller changed the user's choice of saver"
    ;;
scr_preview)
    # /p HWND: the saver draws into the settings dialog's window, here the test host's 320x240
    # one, and ends once that window is closed: the host returns the saver's status.
    start_x 800x600x24
    prog=$(dirname "$prog")/preview_host.exe
    start_app -- velmorade.scr
    wait_for 30 have_window "Velmorade preview host" || fail "no preview host window"
    host_window=$(window_named "Velmorade preview host")
    wait_for 30 shows_frame 320 240 -id "$host_window" >/dev/null || fail "the preview is not a frame: $(cat "$work/match.err")"
    [ "$(window_named "Velmorade preview host")" = "$host_window" ] || fail "the saver renamed the host's window"
    "$tools/e2e_tool" close "$host_window"
    expect_exit 0
    ;;
scr_settings)
    # /c and no argument: a box says there is nothing to set. A bad command line ends with
    # status 1 and shows nothing.
    start_x 800x600x24
    xdotool mousemove 0 0
    prog=${prog%.exe}.scr
    for args in /c ""; do
        start_app -- $args
        wait_for 20 grep -q 'MSGBOX_OnInit L"Velmorade has nothing to set."' "$work/err" || fail "no box for '$args'"
        # Wine traces the box before it has mapped and named its window.
        wait_for 10 have_window Velmorade || fail "the box is not titled Velmorade"
        # Return answers the box once it has the keyboard.
        answered() { xdotool key Return; sleep 0.2; app_gone; }
        wait_for 10 answered || fail "the box does not take Return"
        expect_exit 0
    done
    for args in /p "/p 12345" /x; do
        start_app -- $args
        expect_exit 1
        ! have_window Velmorade || fail "a window for '$args'"
    done
    ;;
saver_xscreensaver)
    # xscreensaver's own daemon runs the hack full screen, one on each monitor of a layout. It
    # launches hacks only for a user other than root, so the hack, a home and the daemon are that
    # user's: nobody.
    if [ -n "${E2E_LAYOUT:-}" ]; then
        start_layout
        screens=("${MONITORS[@]}")
    else
        start_x 1024x600x24
        screens=("1024 600 0 0")
    fi
    chmod 755 "$work"
    cp "$build/velmorade-saver" "$work/" && mkdir "$work/home" || fail "cannot set up the saver"
    printf '%s\n' 'mode: one' 'selected: 0' 'lock: False' 'fade: False' 'unfade: False' 'splash: False' \
        'timeout: 1:00:00' "programs: \"Velmorade\" $work/velmorade-saver \\n" >"$work/home/.xscreensaver"
    chown -R 65534:65534 "$work/home"
    as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups env -i HOME="$work/home" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin "$@"; }
    as_nobody xscreensaver -no-splash >"$work/out" 2>"$work/err" &
    app=$!
    wait_for 20 as_nobody xscreensaver-command -time >/dev/null 2>&1 || fail "the xscreensaver daemon did not start"
    as_nobody xscreensaver-command -activate >/dev/null
    hacks() { pgrep -c -f "^$work/velmorade-saver"; }
    wait_for 10 eval '[ "$(hacks)" -ge ${#screens[@]} ]' || fail "xscreensaver did not start a hack for each monitor"
    for screen in "${screens[@]}"; do
        read -r w h x y <<<"$screen"
        place="$x $y"
        wait_for 30 shows_frame "$w" "$h" -root >/dev/null || fail "the ${w}x$h monitor is not a frame: $(cat "$work/match.err")"
        moving "$w" "$h" || fail "the picture does not move"
    done
    [ "$(hacks)" -eq ${#screens[@]} ] || fail "$(hacks) hacks for ${#screens[@]} monitors"
    # The daemon has its own helper end the hacks once it has unblanked; on a busy machine that
    # takes a while. A hack that ignores being told to end still runs long after.
    as_nobody xscreensaver-command -deactivate >/dev/null
    wait_for 20 eval 'as_nobody xscreensaver-command -time 2>/dev/null | grep -q "non-blanked"' ||
        fail "the daemon did not unblank after -deactivate"
    wait_for 20 eval '[ "$(hacks)" -eq 0 ]' || fail "the hack still runs after -deactivate"
    ;;
saver_window_16 | saver_window_30)
    # The settings dialog's preview: a window of any size, handed over by its id. Destroying it,
    # or SIGTERM, ends the hack with status 0; a window id that names no window is refused.
    start_x "1280x1024x${check#saver_window_}"
    prog=$build/velmorade-saver
    "$tools/e2e_tool" window 725 407 >"$work/window" &
    host=$!
    wait_for 10 grep -q . "$work/window" || fail "no preview window"
    preview=$(cat "$work/window")
    start_app -- --window-id "$preview"
    wait_for 30 shows_frame 725 407 -id "$preview" >/dev/null || fail "the preview is not a frame: $(cat "$work/match.err")"
    kill "$host"
    host=
    expect_exit 0
    start_app -- --window-id "$preview"
    expect_exit 1
    [ "$(cat "$work/err")" = "velmorade-saver: no such window: $preview" ] || fail "stderr: $(cat "$work/err")"
    start_app -- --root
    wait_for 30 shows_frame 1280 1024 -root >/dev/null || fail "the root window is not a frame: $(cat "$work/match.err")"
    kill -TERM "$app"
    expect_exit 0
    ;;
web)
    # The page opened as a file from a folder that holds it alone, then the app's whole folder
    # served; web_check.py drives the browser.
    mkdir "$work/page" && cp "$package" "$work/page/" || fail "cannot copy $package"
    /usr/bin/python3 "$(dirname "$0")/web_check.py" "${E2E_BROWSER:-chromium}" "$work/page/$(basename "$package")" \
        "$tools/e2e_tool" "$work" "$(dirname "$package")" >"$work/out" 2>&1 ||
        fail "$(grep '^FAIL' "$work/out" || tail -3 "$work/out")"
    ;;
wayland)
    # Each scale of one output in turn, as E2E_SCALES gives them: exact frames at the output's own
    # pixels, through Xwayland where it is not scaled and nothing else is asked for.
    start_sway "1920x1080@1"
    for scale in ${E2E_SCALES:-1 1.5 2}; do
        w=$(awk -v s="$scale" 'BEGIN { print 1920 * s }') h=$(awk -v s="$scale" 'BEGIN { print 1080 * s }')
        in_sway swaymsg output HEADLESS-1 mode "${w}x$h" scale "$scale" >/dev/null
        start_app
        shell=xdg_shell
        [ "$scale" != 1 ] || [ -n "${SDL_VIDEODRIVER:-}" ] || shell=xwayland
        check_wayland HEADLESS-1 "$w" "$h" "$shell"
    done
    ;;
wayland_outputs)
    # Two outputs, 1280 x 720 and 2880 x 1620 at scale 1.5: whichever has the focus gets frames
    # of its own pixels, as an X11 window or a Wayland one as the scale calls for, and the other
    # stays as it was.
    start_sway "1280x720@1 2880x1620@1.5"
    for i in 1 2; do
        in_sway grim -o "HEADLESS-$i" -t ppm - >"$work/before-$i.ppm" || fail "no screenshot of HEADLESS-$i"
    done
    for focus in 2:1:2880:1620 1:2:1280:720; do
        IFS=: read -r shown other w h <<<"$focus"
        in_sway swaymsg focus output "HEADLESS-$shown" >/dev/null
        start_app
        wait_for 30 wl_frame "HEADLESS-$shown" "$w" "$h" >/dev/null ||
            fail "HEADLESS-$shown is not a frame: $(cat "$work/match.err")"
        in_sway grim -o "HEADLESS-$other" -t ppm - | cmp -s - "$work/before-$other.ppm" || fail "HEADLESS-$other changed"
        shell=xdg_shell
        [ "$shown" = 2 ] || [ "${SDL_VIDEODRIVER:-}" = wayland ] || shell=xwayland
        check_wayland "HEADLESS-$shown" "$w" "$h" "$shell"
    done
    ;;
wayland_faults)
    # SIGTERM while it plays, and the compositor going away under it, each end it with status 1;
    # so does SIGTERM while a Fatal-Error box waits, here SDL 3's for a user's own setting that
    # keeps it from drawing on Wayland at all.
    start_sway "2880x1620@1.5"
    start_app
    wait_for 30 wl_frame HEADLESS-1 2880 1620 >/dev/null || fail "not a frame: $(cat "$work/match.err")"
    kill -TERM "$app"
    expect_exit 1
    if [ "${E2E_SDL:-}" = sdl3 ]; then
        start_app SDL_VIDEODRIVER=wayland SDL_FRAMEBUFFER_ACCELERATION=0
        # The box is an X11 window, on Xwayland, which serves sway's user.
        wait_for 20 eval 'in_sway xdotool search --name "^Fatal-Error\$" >/dev/null' || fail "no Fatal-Error box"
        kill -TERM "$app"
        expect_exit 1
    fi
    start_app
    wait_for 30 wl_frame HEADLESS-1 2880 1620 >/dev/null || fail "not a frame: $(cat "$work/match.err")"
    { kill -9 "$xserver" && wait "$xserver"; } 2>/dev/null
    xserver=
    expect_exit 1 10
    ;;
kwin)
    # KDE Plasma's compositor without its decoration plugin, at scales 1, 1.5 and 2: exact frames
    # of the output's own pixels, full screen. Through X11 where X programs draw at those pixels,
    # KWin's default; else, with E2E_KWIN_CLIENTS_SCALE=false, which magnifies them, Wayland.
    for scale in 1 1.5 2; do
        start_nested kwin 1920 1080 "$scale"
        start_app
        drawn=x11
        [ "$scale" = 1 ] || [ "${E2E_KWIN_CLIENTS_SCALE:-true}" = true ] || drawn=wayland
        check_nested 1920 1080 --kwin "$scale" "$drawn"
    done
    ;;
weston)
    # Weston at scale 1 and 2: exact frames of the output's own pixels.
    for scale in 1 2; do
        start_nested weston $((1280 * scale)) $((720 * scale)) "$scale"
        start_app
        check_nested $((1280 * scale)) $((720 * scale)) --no-input
    done
    ;;
mutter)
    # GNOME's compositor, with Xwayland and, with E2E_MUTTER=--no-x11, without: SDL 3 would take
    # its Wayland driver there by itself, as mutter offers wp_fifo_manager_v1. It plays, with no
    # Fatal-Error, and SIGTERM ends it with status 1.
    start_mutter ${E2E_MUTTER:-}
    # The flip recorder goes to the program alone, past setpriv.
    launcher+=" env LD_PRELOAD=$work/wl/libflip_recorder.so VELMORADE_FLIP_LOG=$work/wl/flips VELMORADE_FLIP_TIMES_ONLY=1"
    start_app
    enough() { [ -f "$work/wl/flips" ] && [ "$(grep -c flip "$work/wl/flips")" -ge 40 ]; }
    wait_for 60 enough || fail "fewer than 40 frames shown"
    ! grep -q 'Fatal-Error' "$work/err" || fail "$(grep 'Fatal-Error' "$work/err")"
    kill -TERM "$app"
    expect_exit 1
    ;;
elsewhere)
    # Another distribution, without apt-get and dpkg: make names what it needs, then builds the
    # program once that is there, and it plays.
    path_without apt-get dpkg dpkg-query
    project=$(cd "$(dirname "$0")/../.." && pwd)
    make_elsewhere() { env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS PATH="$work/bin" make -s -C "$project" "$@" >"$work/out" 2>&1; }
    ! make_elsewhere deps INCLUDE_DIRS="$work/none" || fail "make deps passed without SDL's headers"
    grep -q '^Missing: SDL/SDL.h' "$work/out" && grep -q 'Fedora:.*sdl12-compat-devel' "$work/out" ||
        fail "make does not name what it needs: $(head -3 "$work/out")"
    make_elsewhere build BUILD="$work/build" TESTS=OFF || fail "make build: $(tail -5 "$work/out")"
    prog=$work/build/velmorade
    : >"$work/out"
    start_x 1280x720x24
    start_app
    check_desktop 1280 720
    ;;
no_root)
    # A user who is neither root nor has sudo, with a package missing: make names the packages it
    # lacks and the one line to run as root, promises no install, and fails.
    dpkg-query -W -f='${Status}\n' hello 2>/dev/null | grep -q 'install ok installed' && fail "hello is installed here"
    path_without sudo
    # The Makefile alone, where the other user can read it wherever the project lies.
    cp "$(dirname "$0")/../../Makefile" "$work/" && chmod 755 "$work"
    ! setpriv --reuid=nobody --regid=nogroup --clear-groups env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS PATH="$work/bin" \
        make -s -C "$work" deps PACKAGES="make hello" >"$work/out" 2>&1 || fail "make deps passed without hello"
    grep -qx '  apt-get install --no-install-recommends hello' "$work/out" ||
        fail "no apt-get line for hello alone: $(cat "$work/out")"
    ! grep -q 'Installing:\|not found' "$work/out" || fail "it promises what it cannot do: $(cat "$work/out")"
    : >"$work/out"
    ;;
release)
    # The release as users download it, made twice from clean clones in other folders, at other
    # times, umasks and time zones: the same files byte for byte, whose sums check; the source,
    # unpacked without git, builds as make run builds it, and its program plays.
    project=$(cd "$(dirname "$0")/../.." && pwd)
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
    names="SHA256SUMS velmorade-$version-web.zip velmorade-$version-win64-setup.exe velmorade-$version-win64.zip
           velmorade-$version.tar.gz velmorade_${version}_$(dpkg --print-architecture).deb"
    for run in "022 Asia/Tokyo one" "027 America/Los_Angeles two/a/b"; do
        set -- $run
        clone=$work/$3/velmorade
        (umask "$1" && git clone -q "$project" "$clone" &&
         env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS TZ="$2" make -C "$clone" release) >"$work/release.log" 2>&1 ||
            fail "clone and make release in $clone: $(tail -20 "$work/release.log")"
        [ "$(ls "$clone/dist" | sort | tr '\n' ' ')" = "$(echo $names | tr ' ' '\n' | sort | tr '\n' ' ')" ] ||
            fail "dist/ holds $(ls "$clone/dist" | tr '\n' ' ')"
        (cd "$clone/dist" && sha256sum --quiet -c SHA256SUMS) || fail "the sums do not check in $clone/dist"
    done
    for name in $names; do
        cmp "$work/one/velmorade/dist/$name" "$work/two/a/b/velmorade/dist/$name" || fail "$name differs between two releases"
    done
    unzip -l "$work/one/velmorade/dist/velmorade-$version-web.zip" | grep -q " velmorade-$version-web/velmorade.html\$" ||
        fail "the web zip holds no velmorade-$version-web/velmorade.html"
    tar -xzf "$work/one/velmorade/dist/velmorade-$version.tar.gz" -C "$work" || fail "cannot unpack the source"
    [ ! -e "$work/velmorade-$version/.git" ] || fail "the source holds .git"
    env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS make -C "$work/velmorade-$version" build TESTS=OFF >"$work/release.log" 2>&1 ||
        fail "the unpacked source does not build: $(tail -20 "$work/release.log")"
    prog=$work/velmorade-$version/build/velmorade
    start_x 1280x720x24
    start_app
    check_desktop 1280 720
    ;;
sanitized)
    # A few seconds of animation, then Escape: nothing may reach stderr, where the sanitizers
    # of an instrumented build would report.
    start_x 800x600x24
    start_app ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp:print_suppressions=0" \
        UBSAN_OPTIONS=print_stacktrace=1
    wait_for 60 shows_frame 800 600 -root >/dev/null || fail "screen is not a frame: $(cat "$work/match.err")"
    moving 800 600 || fail "the picture does not move"
    sleep 3
    kill -0 "$app" 2>/dev/null || fail "ended by itself"
    xdotool mousemove 400 300 key Escape
    expect_exit 1
    [ ! -s "$work/err" ] || fail "reports on stderr"
    ;;
*)
    fail "no such check"
    ;;
esac
echo "ok: $check"
