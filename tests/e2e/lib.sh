# lib.sh: what the end-to-end checks share: X servers and window managers, compositors' sessions,
# starting the program and waiting for it, and screenshots matched against the frames. Sourced
# by e2e.sh, which sets check, build, tools and work first.
#
# The run's own state, which cleanup and fail read: prog, the program under test (the build's, a
# package's, or a session's copy of it); session_run, how a session runs a program (its user and
# environment), empty on a plain X server; the processes app, xserver, wm, host and session; and
# wine, sdl_lib and sdl_core, set once from the package and E2E_SDL.
prog= session_run= app= xserver= wm= host= session= wine= sdl_lib= sdl_core=

cleanup() {
    for pid in $app $wm $host; do kill -9 "$pid" 2>/dev/null; done
    [ -z "$wine" ] || "$(dirname "$wine")/wineserver64" -k 2>/dev/null
    kill -9 $xserver 2>/dev/null
    # A Wayland compositor's session: sway or mutter, Xwayland, D-Bus, helpers.
    [ -z "$session" ] || kill -9 -- "-$session" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}

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

# Waiting

# wait_for SECONDS COMMAND...: polls COMMAND until it succeeds.
wait_for() {
    local limit=$(($1 * 20)) i
    shift
    for ((i = 0; i < limit; i++)); do "$@" && return 0; sleep 0.05; done
    return 1
}

# expect_exit STATUS [SECONDS]: waits for the program to end by itself, with STATUS.
expect_exit() {
    wait_for "${2:-20}" app_gone || fail "still running"
    wait "$app"
    local status=$?
    app=
    [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}
app_gone() { ! kill -0 "$app" 2>/dev/null; }

# The program has a connection open: to its display, which may not answer.
connected() { ls -l "/proc/$app/fd" 2>/dev/null | grep -q 'socket:'; }
silent_display_said() {
    [ "$(cat "$work/err")" = "Fatal-Error: The display did not answer within 10 seconds" ] ||
        fail "stderr: $(cat "$work/err")"
}

# flipped N FILE: the flip recorder's FILE holds N flips or more.
flipped() { [ -f "$2" ] && [ "$(grep -vc caption "$2")" -ge "$1" ]; }

# X servers

# start_x WxHxD: a new X server on a free display. -noreset, because a server that resets when its
# last client leaves refuses connections for a moment, and SDL connects twice in a row.
start_x() {
    # A check may start another server: the file must not still name the last one.
    rm -f "$work/display"
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "$1" 3>"$work/display" 2>"$work/xvfb.log" &
    xserver=$!
    wait_for 20 grep -qs . "$work/display" || fail "Xvfb did not start"
    export DISPLAY=:$(head -1 "$work/display")
}

# The two monitors of a layout, "W H X Y" each: of different sizes, the second not at the origin.
MONITORS=("1280 720 0 0" "1024 768 1280 48")

# start_layout randr|xorg|outputs: an X server whose screen spans the two MONITORS: "randr", one
# Xvfb screen split into two RandR monitors; "xorg", two X screens of Xorg's dummy driver joined
# by Xinerama; "outputs", one X screen of Xorg's dummy driver whose RandR outputs are the monitors,
# side by side at the top, as Wine reports them to Windows programs. For outputs, E2E_MONITORS
# ("WxH WxH") gives other sizes, and MONITORS then holds their places; E2E_PRIMARY=second makes
# the second one the primary monitor.
start_layout() {
    case $1 in
    outputs)
        local size w h x=0 output=0 primary=0 mode
        [ "${E2E_PRIMARY:-}" != second ] || primary=1
        start_xorg outputs.conf
        MONITORS=()
        for size in ${E2E_MONITORS:-1280x720 1024x768}; do
            w=${size%x*} h=${size#*x}
            mode=$(gtf "$w" "$h" 60 | sed -n 's/^ *Modeline "[^"]*" *//p')
            { xrandr --newmode "e2e-$size" $mode && xrandr --addmode "DUMMY$output" "e2e-$size" &&
                xrandr --output "DUMMY$output" --mode "e2e-$size" --pos "${x}x0" $([ $output != $primary ] || echo --primary); } \
                >/dev/null 2>&1 || fail "cannot make DUMMY$output a monitor of $size"
            MONITORS+=("$w $h $x 0")
            x=$((x + w)) output=$((output + 1))
        done
        # Only a full probe, as xrandr --query makes, has the server count an output just given a
        # mode as connected, for clients that do not probe: Wine.
        xrandr --query | grep -c '^DUMMY[0-9]* connected' | grep -qx "$output" || fail "not $output outputs connected"
        ;;
    randr)
        start_x 2304x816x24
        { xrandr --setmonitor first 1280/339x720/191+0+0 screen && xrandr --setmonitor second 1024/271x768/203+1280+48 none; } >/dev/null ||
            fail "cannot split the screen into monitors"
        ;;
    xorg) start_xorg two-screens.conf ;;
    *) fail "no such layout: $1" ;;
    esac
}

# start_xorg CONFIG: Xorg, as root, with CONFIG of this folder and nothing else.
start_xorg() {
    rm -f "$work/display"
    Xorg -noreset -nolisten tcp -config "$(dirname "${BASH_SOURCE[0]}")/$1" -configdir "$work/none" \
        -logfile "$work/xorg.log" -displayfd 3 3>"$work/display" 2>/dev/null &
    xserver=$!
    wait_for 20 grep -qs . "$work/display" || fail "Xorg did not start: $(grep EE "$work/xorg.log" | head -3)"
    export DISPLAY=:$(head -1 "$work/display")
}

# start_wm [WM]: the window manager WM (openbox), if named, managing the X server's windows.
start_wm() {
    [ -n "${1:-}" ] || return 0
    "$1" >/dev/null 2>&1 &
    wm=$!
    # Ready once it manages a window: SDL 2 waits for ever for its window to be mapped, and a
    # window manager still starting up may leave the request unanswered. The probe's window is
    # then gone from its list before the program starts, whose first window may reuse its id.
    "$tools/e2e_tool" window 16 16 >"$work/probe" &
    local probe=$!
    managed() { [ -s "$work/probe" ] && xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -qw "$(cat "$work/probe")"; }
    wait_for 20 managed || fail "$1 did not start"
    kill "$probe"
    wait "$probe" 2>/dev/null
    wait_for 20 eval '! managed' || fail "$1 did not let the probe window go"
}

# What a mode change would alter: RandR's outputs and modes, and the XFree86-VidMode mode that
# SDL 1.2 switches where the server has no RandR.
modes() { xrandr --query 2>&1; xvidtune -show 2>&1; }

# Compositors' sessions. Compositors refuse root: they, the program and the tools that talk to
# them run as nobody, from copies in the work folder.
NOBODY=(setpriv --reuid=65534 --regid=65534 --clear-groups)

# session_folder [FILE...]: $work/wl, nobody's, for a compositor's session, with the program and
# FILEs in it; the program runs from there.
session_folder() {
    chmod 755 "$work"
    mkdir -m 700 "$work/wl" && cp "$prog" "$work/wl/velmorade" && { [ $# -eq 0 ] || cp "$@" "$work/wl/"; } &&
        chown -R 65534:65534 "$work/wl" || fail "cannot set up the compositor's session"
    prog=$work/wl/velmorade
}

# start_sway "WxH@SCALE...": sway, headless with the pixman renderer and Xwayland, one output for
# each size and scale, the last one focused; the program then runs there as in that desktop
# session.
start_sway() {
    local i=0 output
    session_folder
    for output in $1; do
        i=$((i + 1))
        echo "output HEADLESS-$i mode ${output%@*} scale ${output#*@} position $((i * 4000)) 0"
    done >"$work/wl/config"
    printf '%s\n' 'xwayland enable' "exec env >$work/wl/session" >>"$work/wl/config"
    start_wlroots sway WLR_HEADLESS_OUTPUTS=$i -- sway -c "$work/wl/config"
    in_sway swaymsg focus output "HEADLESS-$i" >/dev/null
}
in_sway() { "${NOBODY[@]}" "$@"; }

# start_wlroots NAME [VAR=VALUE...] -- COMMAND...: a wlroots compositor, headless with the pixman
# renderer and without input devices, as nobody, with the environment given; COMMAND has it write
# its session's environment to $work/wl/session once Xwayland is there.
start_wlroots() {
    local name=$1 envs=()
    shift
    while [ "$1" != -- ]; do envs+=("$1"); shift; done
    shift
    setsid env -i XDG_RUNTIME_DIR="$work/wl" HOME="$work/wl" PATH=/usr/bin:/bin WLR_BACKENDS=headless \
        WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 "${envs[@]}" "${NOBODY[@]}" "$@" >"$work/$name.log" 2>&1 &
    xserver=$! session=$!
    wait_for 30 grep -qs '^DISPLAY=' "$work/wl/session" || fail "$name did not start: $(tail -3 "$work/$name.log")"
    unset DISPLAY
    export XDG_RUNTIME_DIR=$work/wl HOME=$work/wl
    export $(grep -E '^(WAYLAND_DISPLAY|DISPLAY|SWAYSOCK)=' "$work/wl/session")
    session_run=${NOBODY[*]}
}

# start_labwc: labwc, the Raspberry Pi desktop's compositor, headless with the pixman renderer and
# Xwayland, one output of 1920 x 1080; wlr-randr sets its scale. Without a pointer labwc still
# draws its cursor on the output, so its cursor theme is one transparent pixel. The program then
# runs there as in that desktop session.
start_labwc() {
    local cursors=$work/wl/icons/blank/cursors
    session_folder
    mkdir -p "$work/wl/labwc" "$cursors" && convert -size 1x1 xc:none "$work/blank.png" &&
        echo "1 0 0 $work/blank.png" >"$work/blank.cfg" && xcursorgen "$work/blank.cfg" "$cursors/default" &&
        ln -s default "$cursors/left_ptr" && chown -R 65534:65534 "$work/wl" || fail "cannot set up labwc's session"
    start_wlroots labwc WLR_HEADLESS_OUTPUTS=1 XCURSOR_PATH="$work/wl/icons" XCURSOR_THEME=blank -- \
        labwc -C "$work/wl/labwc" -s "sh -c 'env >$work/wl/session'"
}

# start_mutter [--no-x11]: GNOME's compositor, headless with one virtual 1920 x 1080 monitor, in a
# D-Bus session of its own; with Xwayland unless told otherwise. The flip recorder goes into the
# session's folder.
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
    session_run=${NOBODY[*]}
}

# start_nested kwin W H SCALE OWN_PIXELS | weston W H SCALE: a compositor that leaves decorations
# to the program, as nobody in a D-Bus session of its own, nested in a new X server whose screen
# is its output's picture: an output of W x H pixels at SCALE at the screen's origin, and a margin
# right of it where the pointer stays, so that no cursor is drawn on the output. KWin as
# kwin_session.sh starts it, X programs drawn at the output's own pixels where OWN_PIXELS is true;
# the program then runs in KWin's session, with its X display. Weston, which never decorates a
# window, at a whole SCALE, without its panel, and without input: with a pointer it would draw the
# program's cursor on the output wherever its pointer is; the program runs on its Wayland display
# alone.
start_nested() {
    local compositor=$1 w=$2 h=$3 scale=$4
    start_x "$((w + 64))x${h}x24"
    xdotool mousemove "$((w + 32))" "$((h / 2))"
    local here
    here=$(dirname "${BASH_SOURCE[0]}")
    [ -d "$work/wl" ] || session_folder "$here/kwin_session.sh" "$here/kwinoutputconfig.json"
    if [ "$compositor" = kwin ]; then
        rm -f "$work/wl/session"
        set -- "$work/wl/kwin_session.sh" "$w" "$h" "$scale" "$5" wayland-nested
    else
        mkdir -p "$work/wl/.config"
        printf '[shell]\npanel-position=none\n' >"$work/wl/.config/weston.ini"
        chown -R 65534:65534 "$work/wl/.config"
        set -- weston --backend=x11 --renderer=pixman --width=$((w / scale)) --height=$((h / scale)) --scale="$scale" \
            --socket=wayland-nested --no-input
    fi
    setsid "${NOBODY[@]}" env -i XDG_RUNTIME_DIR="$work/wl" HOME="$work/wl" PATH=/usr/bin:/bin DISPLAY="$DISPLAY" \
        dbus-run-session -- "$@" >"$work/$compositor.log" 2>&1 &
    session=$!
    wait_for 30 test -S "$work/wl/wayland-nested" || fail "$compositor did not start: $(tail -3 "$work/$compositor.log")"
    session_run="${NOBODY[*]} env -u DISPLAY XDG_RUNTIME_DIR=$work/wl HOME=$work/wl WAYLAND_DISPLAY=wayland-nested"
    [ "$compositor" = kwin ] || return 0
    wait_for 30 grep -qs "^DISPLAY=" "$work/wl/session" || fail "KWin started no Xwayland: $(tail -3 "$work/kwin.log")"
    session_run="${NOBODY[*]} env XDG_RUNTIME_DIR=$work/wl HOME=$work/wl WAYLAND_DISPLAY=wayland-nested $(kwin_env)"
}
# KWin's session as its programs see it: its X display and D-Bus.
kwin_env() { grep -E '^(DISPLAY|XAUTHORITY|DBUS_SESSION_BUS_ADDRESS)=.' "$work/wl/session" | tr '\n' ' '; }
# shellcheck disable=SC2046 # assignments
in_kwin() { "${NOBODY[@]}" env XDG_RUNTIME_DIR="$work/wl" HOME="$work/wl" $(kwin_env) "$@"; }

# end_nested: the nested compositor and its X server are gone, ready for the next.
end_nested() {
    kill -9 -- "-$session" "$xserver" 2>/dev/null
    wait 2>/dev/null
    session= xserver=
    rm -f "$work/wl/wayland-nested" "$work/wl/wayland-nested.lock"
}

# The program

# start PROGRAM [VAR=VALUE | -u VAR]... [-- ARGUMENT...]: starts PROGRAM in the background with
# env's options and assignments, in the session if one has started, on the SDL that E2E_SDL
# names, under Wine for a Windows program; its output goes to $work/out and $work/err.
start() { start_via "" "$@"; }
# start_app [VAR=VALUE | -u VAR]... [-- ARGUMENT...]: starts the program under test so.
start_app() { start_via "" "$prog" "$@"; }
# start_via "COMMAND WORDS" PROGRAM ...: as start, through that command (prlimit, setsid).
start_via() {
    local via=$1 program=$2 envs=()
    shift 2
    while [ $# -gt 0 ] && [ "$1" != -- ]; do envs+=("$1"); shift; done
    [ $# -eq 0 ] || shift
    # shellcheck disable=SC2086 # command words
    env "${envs[@]}" ${sdl_lib:+LD_LIBRARY_PATH="$sdl_lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"} $session_run $via \
        $wine "$program" "$@" </dev/null >"$work/out" 2>"$work/err" &
    app=$!
}

# The program has the SDL underneath that E2E_SDL names loaded.
on_named_core() { [ -z "$sdl_core" ] || grep -q "/$sdl_core" "/proc/$app/maps" || fail "not running on $sdl_core"; }

# The program runs on the SDL its runner names, with OpenGL loaded only where the check asks for
# a GL renderer: without a 3D driver GL costs a core for what a copy does.
on_named_sdl() {
    on_named_core
    [ -z "$wine" ] || return 0
    # On 30 bits SDL's framebuffer goes through OpenGL: SDL 2 has none in software, and SDL 3's
    # would show white as grey.
    [ "$(xwininfo -root | awk '/Depth:/ { print $2 }')" -gt 24 ] && grep -q '/libSDL[23]' "/proc/$app/maps" && return 0
    local gl
    gl=$(grep -oE '/lib(GL|GLX|EGL|gallium)[-._][^/]*$' "/proc/$app/maps" | sort -u | tr '\n' ' ')
    case ${SDL_RENDER_DRIVER:-} in
    opengl*) [ -n "$gl" ] || fail "SDL_RENDER_DRIVER=$SDL_RENDER_DRIVER, yet no OpenGL library is loaded" ;;
    *) [ -z "$gl" ] || fail "OpenGL is loaded: $gl" ;;
    esac
}

# path_without COMMAND...: $work/bin, every command of /usr/bin and /bin but these, for a PATH.
path_without() {
    mkdir "$work/bin" || fail "cannot make $work/bin"
    local f
    for f in /usr/bin/* /bin/*; do
        case " $* " in *" ${f##*/} "*) ;; *) ln -sf "$f" "$work/bin/" ;; esac
    done
}

# Windows and screenshots

window_named() { xdotool search --name "^$1\$" 2>/dev/null | head -1; }
have_window() { [ -n "$(window_named "$1")" ]; }

# Geometry of a window as "x y w h", from xwininfo.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}'
}

# shows_frame W H XWD_ARGUMENT...: the picture xwd takes equals one of the W x H frames; prints
# its number.
shows_frame() {
    local w=$1 h=$2
    shift 2
    xwd -silent "$@" >"$work/shot.xwd" 2>/dev/null && "$tools/e2e_tool" match "$w" "$h" "$work/shot.xwd" 2>"$work/match.err"
}
# shows_frame_at X Y W H: the screen's W x H part at X, Y does.
shows_frame_at() {
    xwd -silent -root >"$work/shot.xwd" 2>/dev/null &&
        "$tools/e2e_tool" match "$3" "$4" "$work/shot.xwd" "$1" "$2" 2>"$work/match.err"
}

# await_frame WHAT COMMAND...: COMMAND (shows_frame, shows_frame_at, wl_frame) comes to match a
# frame within 30 seconds, or WHAT "is not a frame" fails the check.
await_frame() {
    local what=$1
    shift
    wait_for 30 "$@" >/dev/null || fail "$what is not a frame: $(cat "$work/match.err")"
}

# monitors_play MONITOR...: each monitor ("W H X Y") shows a frame of its own size at its place,
# and goes on to show others.
monitors_play() {
    local monitor w h x y
    for monitor in "$@"; do
        read -r w h x y <<<"$monitor"
        await_frame "the ${w}x$h monitor" shows_frame_at "$x" "$y" "$w" "$h"
        moving shows_frame_at "$x" "$y" "$w" "$h" || fail "the ${w}x$h monitor's picture does not move"
    done
}

# moving W H, or moving COMMAND...: screenshots of the whole screen, or those COMMAND takes and
# matches, go on to show another frame than the first one caught.
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

# desktop_plays W H [X Y]: the whole desktop, or the monitor of W x H at X, Y, shows the
# animation, in one window captioned Velmorade that covers it exactly; Escape ends it with 1.
desktop_plays() {
    local w=$1 h=$2 x=${3:-0} y=${4:-0} shot=(shows_frame "$1" "$2" -root) covering
    [ $# -lt 3 ] || shot=(shows_frame_at "$x" "$y" "$w" "$h")
    wait_for 30 have_window Velmorade || fail "no window captioned Velmorade"
    on_named_sdl
    [ "$(xdotool search --name '^Velmorade$' | wc -l)" -eq 1 ] || fail "more than one Velmorade window"
    await_frame "the screen" "${shot[@]}"
    # The visible window covering the screen, or the monitor, is the program's.
    covering=$(xwininfo -root -children | awk '/^ +0x/{print $1}' | while read -r id; do
        xwininfo -id "$id" | grep -q 'IsViewable' && [ "$(geometry "$id")" = "$x $y $w $h" ] && echo "$id"; done)
    [ -n "$covering" ] || fail "no window covers exactly ${w}x$h at $x,$y"
    [ ! -s "$work/out" ] || fail "unexpected standard output"
    moving "${shot[@]}" || fail "the picture does not move"
    [ -z "$wine" ] || own_icon "$(window_named Velmorade)" || fail "the window does not carry the program's icon"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) key Escape
    expect_exit 1
}
