# lib.sh: what the end-to-end checks share: the run's state, waiting, starting the program and
# watching it, and screenshots matched against the frames. X servers are in lib_xservers.sh,
# compositors' sessions in lib_sessions.sh. Sourced by e2e.sh, which sets check, build, tools and
# work first.
#
# The run's own state, which cleanup and fail read: prog, the program under test (the build's, a
# package's, or a session's copy of it); session_run, how a session runs a program (its user and
# environment), empty on a plain X server; the processes app, xserver, wm, host, helper (a server
# a check starts) and session; and wine, sdl_lib and sdl_core, set once from the package and E2E_SDL.
prog= session_run= app= xserver= wm= host= helper= session= wine= sdl_lib= sdl_core=

# wine_end: under Wine, every process of the check's Wine prefix ended.
wine_end() { [ -z "$wine" ] || "$(dirname "$wine")/wineserver64" -k 2>/dev/null; }

cleanup() {
    for pid in $app $wm $host $helper; do kill -9 "$pid" 2>/dev/null; done
    wine_end
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

# start_on_terminal TERM [VAR=VALUE | -u VAR]...: starts the program under test as from a terminal
# of its own (a pseudo-terminal, as over SSH) on its stdin and stdout, with that TERM, unset where
# empty; its stderr goes to $work/err. Once it has ended, terminal_got tells what reached the
# terminal.
start_on_terminal() {
    local term=$1 command
    shift
    # shellcheck disable=SC2086 # command words
    command=$(printf '%q ' env "$@" ${sdl_lib:+LD_LIBRARY_PATH="$sdl_lib"} $session_run "$prog")
    env ${term:+TERM="$term"} $([ -n "$term" ] || echo -u TERM) \
        script --quiet --return --command "$command 2>$(printf %q "$work/err")" "$work/typescript" \
        </dev/null >/dev/null 2>&1 &
    app=$!
}
# terminal_got: prints every byte the terminal got. script's record wraps them in a first line and
# a newline with a last line of its own.
terminal_got() { sed '1d;$d' "$work/typescript" | head -c -1 | cat -A; }

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
