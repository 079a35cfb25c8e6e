# x11.sh: the checks of the program on an X display: the desktop at every depth, two monitors,
# the frame cycle, an old SDL, the error box, and the ways it ends: Escape, signals, no display,
# a display that stops answering or goes away, frames that do not fit in memory. The Windows
# release under Wine takes the desktop and the box checks too.

# x_desktop WxHxD: on an X screen of that size and depth, under E2E_WM if set, the program fills
# the desktop with the animation in one window of its size; Escape ends it with 1.
x_desktop() {
    local size=${1%x*}
    start_x "$1"
    start_wm "${E2E_WM:-}"
    start_app
    desktop_plays "${size%x*}" "${size#*x}"
}
check_desktop() { x_desktop 1280x720x24; }
# 30-bit colour, 10 bits a channel, as deep-colour monitors are run.
check_deep_colour() { x_desktop 1280x720x30; }
# A desktop of odd width and height: frames of exactly its size.
check_desktop_odd() { x_desktop 1023x767x24; }

check_desktop_8() {
    # An 8-bit display: classic SDL draws the picture; under sdl12-compat, SDL 2 cannot and SDL 3
    # crashes trying, so the program says so before SDL starts.
    local sdl12
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
        desktop_plays 1280 720
    fi
}

check_monitors() {
    # On two monitors the program fills the one under the pointer, the second and then the first,
    # each with exact frames of its own size; no mode changes, before, while or after it plays.
    local monitor w h x y
    start_layout "${E2E_LAYOUT:-}"
    start_wm "${E2E_WM:-}"
    modes >"$work/modes"
    for monitor in "${MONITORS[1]}" "${MONITORS[0]}"; do
        read -r w h x y <<<"$monitor"
        xdotool mousemove $((x + w / 2)) $((y + h / 2))
        start_app
        wait_for 30 have_window Velmorade || fail "no window captioned Velmorade"
        [ "$(modes)" = "$(cat "$work/modes")" ] || fail "a mode changed while it plays: $(modes)"
        desktop_plays "$w" "$h" "$x" "$y"
        # Wine's server keeps the pointer where Wine's own windows last saw it, and may tell the
        # next program that place rather than X's: each run under Wine gets a server of its own.
        wine_end
    done
    [ "$(modes)" = "$(cat "$work/modes")" ] || fail "a mode changed after it ended: $(modes)"
}

check_cycle() {
    # Frames come in order 0, 1, ..., 13, 0, ... and no faster than one every 25 ms.
    start_x 640x480x24
    start_app LD_PRELOAD="$tools/libflip_recorder.so" VELMORADE_FLIP_LOG="$work/flips"
    wait_for 60 flipped 60 "$work/flips" || fail "fewer than 60 flips"
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
}

# fixed_window DEPTH: an SDL older than 1.2.10, on a display of DEPTH bits: the fixed 1024x768
# window, a line on stdout; closing it ends it.
fixed_window() {
    local win ww wh
    start_x "1280x1024x$1"
    start_app LD_PRELOAD="$tools/libold_sdl.so"
    wait_for 30 have_window Velmorade || fail "no window captioned Velmorade"
    win=$(window_named Velmorade)
    await_frame "the window" shows_frame 1024 768 -id "$win"
    read -r _ _ ww wh <<<"$(geometry "$win")"
    [ "$ww $wh" = "1024 768" ] || fail "window is ${ww}x$wh"
    [ "$(cat "$work/out")" = "Old SDL Version falling back to fixed size (1024x768)" ] ||
        fail "standard output: $(cat "$work/out")"
    "$tools/e2e_tool" close "$win"
    expect_exit 1
}
check_fixed_24() { fixed_window 24; }
check_fixed_16() { fixed_window 16; }

check_fatal_box() {
    # SDL cannot start: a dialog titled Fatal-Error waits until Return dismisses it.
    local box
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
}

check_no_display() {
    # No display at all: the stderr line and status 1, without hanging, whether the X11 driver
    # is asked for or SDL falls back to one that draws nowhere or in text. With any TERM, from a
    # service without a terminal (setsid, nothing on stdin) or from a terminal of its own as over
    # SSH: that one line and nothing else, not a byte on stdout or on the terminal, no text
    # driver's start-up ending the process or taking the terminal over.
    unset DISPLAY
    start_app SDL_VIDEODRIVER=x11
    expect_exit 1 10
    grep -q '^Fatal-Error: .' "$work/err" || fail "no Fatal-Error line on stderr"
    local term said
    for term in "" unknown dumb xterm linux; do
        said="TERM=${term:-(unset)}"
        start_via "setsid -w" "$prog" -u SDL_VIDEODRIVER ${term:+TERM="$term"} $([ -n "$term" ] || echo -u TERM)
        expect_exit 1 10
        [ "$(cat "$work/err")" = "Fatal-Error: No available video device" ] || fail "$said, no terminal: stderr: $(cat "$work/err")"
        [ ! -s "$work/out" ] || fail "$said, no terminal: stdout: $(cat -v "$work/out")"
        start_on_terminal "$term" -u SDL_VIDEODRIVER
        expect_exit 1 10
        [ "$(cat "$work/err")" = "Fatal-Error: No available video device" ] || fail "$said, on a terminal: stderr: $(cat "$work/err")"
        [ -z "$(terminal_got)" ] || fail "$said, on a terminal, it got: $(terminal_got)"
    done
}

check_sigterm() {
    # SIGTERM while it plays, as at a logout, ends it with status 1.
    start_x 640x480x24
    start_app
    await_frame "the screen" shows_frame 640 480 -root
    kill -TERM "$app"
    expect_exit 1
}

check_display_stopped() {
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
    await_frame "the screen" shows_frame 640 480 -root
    kill -STOP "$xserver"
    kill -TERM "$app"
    expect_exit 1 5
    kill -CONT "$xserver"
}

check_lost_display() {
    # The X server goes away under the running program: it ends with status 1.
    start_x 640x480x24
    start_wm "${E2E_WM:-}"
    start_app
    await_frame "the screen" shows_frame 640 480 -root
    on_named_sdl
    [ -z "$wm" ] || kill -9 "$wm"
    kill -9 "$xserver"
    xserver=
    expect_exit 1 2
}

check_out_of_memory() {
    # Frames that do not fit: the display is given back before the box says so.
    start_x 3000x2000x24
    start_via "prlimit --as=$((200000 * 1024))" "$prog"
    wait_for 30 have_window Fatal-Error || fail "no Fatal-Error window"
    ! have_window Velmorade || fail "the full-screen window is still there behind the box"
    xdotool key Return
    expect_exit 1
    [ "$(cat "$work/err")" = "Fatal-Error: The animation frames need 336000000 bytes and could not be allocated." ] ||
        fail "stderr: $(cat "$work/err")"
}

check_sanitized() {
    # A few seconds of animation, then Escape: nothing may reach stderr, where the sanitizers
    # of an instrumented build would report.
    start_x 800x600x24
    start_app ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$(dirname "${BASH_SOURCE[0]}")/lsan.supp:print_suppressions=0" \
        UBSAN_OPTIONS=print_stacktrace=1
    wait_for 60 shows_frame 800 600 -root >/dev/null || fail "the screen is not a frame: $(cat "$work/match.err")"
    moving 800 600 || fail "the picture does not move"
    sleep 3
    kill -0 "$app" 2>/dev/null || fail "ended by itself"
    xdotool mousemove 400 300 key Escape
    expect_exit 1
    [ ! -s "$work/err" ] || fail "reports on stderr"
}
