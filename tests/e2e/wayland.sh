# wayland.sh: the checks in Wayland sessions: sway's, headless, with one output and with two;
# labwc's, headless; GNOME's mutter; KWin and Weston nested in Xvfb; and a compositor that is gone
# or never answers.

# wl_frame OUTPUT W H: the output's picture, taken with grim, equals a frame; prints its number.
wl_frame() {
    in_sway grim -o "$1" -t ppm - >"$work/shot.ppm" 2>/dev/null &&
        "$tools/e2e_tool" match "$2" "$3" "$work/shot.ppm" 2>"$work/match.err"
}

# output_plays OUTPUT W H SHELL: the program fills the output with exact frames that move, in a
# window of that shell (xwayland, xdg_shell), and Escape ends it with status 1. Where the
# compositor is not sway, the window is Xwayland's if X lists it.
output_plays() {
    local shell
    await_frame "$1" wl_frame "$1" "$2" "$3"
    moving wl_frame "$1" "$2" "$3" || fail "the picture on $1 does not move"
    if [ -n "${SWAYSOCK:-}" ]; then
        shell=$(in_sway swaymsg -t get_tree | grep -o '"shell": "[a-z_]*"' | sort -u | tr -d '" ')
    elif [ "$(drawn_through in_sway)" = x11 ]; then
        shell=shell:xwayland
    else
        shell=shell:xdg_shell
    fi
    [ "$shell" = "shell:$4" ] || fail "the window's shell is ${shell#shell:}, not $4"
    # Through Xwayland it draws as on X11, without OpenGL.
    [ "$4" = xdg_shell ] || on_named_sdl
    # A virtual keyboard's first key may come before its keymap has reached the program.
    escaped() { in_sway wtype -s 200 -k Escape; wait_for 2 app_gone; }
    wait_for 20 escaped || fail "Escape did not end it"
    expect_exit 1
}

# kwin_window W H: KWin's own list, asked by a script over D-Bus, has one window captioned
# Velmorade, full screen, covering the output's W x H of its units.
kwin_window() {
    local n id listed script
    n=$(($(ls "$work"/wl/windows-*.js 2>/dev/null | wc -l) + 1))
    script=$work/wl/windows-$n.js
    cat >"$script" <<EOF
const windows = workspace.windowList();
for (let i = 0; i < windows.length; i++) {
    const w = windows[i], g = w.frameGeometry;
    if (w.caption === "Velmorade")
        print("velmorade-$n", w.fullScreen, g.x, g.y, g.width, g.height);
}
print("velmorade-$n end");
EOF
    chmod 644 "$script"
    id=$(in_kwin dbus-send --session --print-reply --dest=org.kde.KWin /Scripting org.kde.kwin.Scripting.loadScript \
        "string:$script" "string:velmorade-$n" | awk '/int32/ { print $2 }')
    [ -n "$id" ] && [ "$id" -ge 0 ] || fail "KWin did not load the script"
    in_kwin dbus-send --session --print-reply --dest=org.kde.KWin "/Scripting/Script$id" org.kde.kwin.Script.run >/dev/null
    wait_for 10 grep -qa "velmorade-$n end" "$work/kwin.log" || fail "KWin's script did not run"
    listed=$(grep -a "js: velmorade-$n " "$work/kwin.log" | grep -v ' end$' | sed 's/.*velmorade-[0-9]* //')
    [ "$listed" = "true 0 0 $1 $2" ] || fail "KWin lists, of windows captioned Velmorade: ${listed:-none}; not one full screen at 0,0 of ${1}x$2"
}
# drawn_through RUNNER: the window system the program draws through in the session RUNNER runs
# commands in: x11 where Xwayland has its window, else wayland.
drawn_through() { [ -n "$("$1" xdotool search --name '^Velmorade$' 2>/dev/null)" ] && echo x11 || echo wayland; }

# nested_plays W H [--no-input | --kwin SCALE x11|wayland]: the nested compositor's output is an
# exact frame of W x H that moves, and Escape, typed into the compositor's window, ends the
# program with 1; SIGTERM does where the compositor has no input. Under KWin, its window is full
# screen and drawn through the window system named. The compositor then ends.
nested_plays() {
    local drawn
    await_frame "the output" shows_frame_at 0 0 "$1" "$2"
    moving shows_frame_at 0 0 "$1" "$2" || fail "the picture does not move: $(cat "$work/match.err")"
    on_named_core
    if [ "${3:-}" = --kwin ]; then
        # shellcheck disable=SC2046 # two numbers
        kwin_window $(awk -v w="$1" -v h="$2" -v s="$4" 'BEGIN { printf "%d %d", w / s, h / s }')
        drawn=$(drawn_through in_kwin)
        [ "$drawn" = "$5" ] || fail "at scale $4 it draws through $drawn, not $5"
        [ "$drawn" = wayland ] || on_named_sdl
    fi
    if [ "${3:-}" = --no-input ]; then
        kill -TERM "$app"
    else
        xdotool mousemove "$(($1 / 2))" "$(($2 / 2))" key Escape
    fi
    expect_exit 1
    end_nested
}

check_wayland_silent() {
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
}

check_wayland() {
    # Each scale of one output in turn, as E2E_SCALES gives them: exact frames at the output's own
    # pixels, through Xwayland where it is not scaled and nothing else is asked for.
    local scale w h shell
    start_sway "1920x1080@1"
    for scale in ${E2E_SCALES:-1 1.5 2}; do
        w=$(awk -v s="$scale" 'BEGIN { print 1920 * s }') h=$(awk -v s="$scale" 'BEGIN { print 1080 * s }')
        in_sway swaymsg output HEADLESS-1 mode "${w}x$h" scale "$scale" >/dev/null
        start_app
        shell=xdg_shell
        [ "$scale" != 1 ] || [ -n "${SDL_VIDEODRIVER:-}" ] || shell=xwayland
        output_plays HEADLESS-1 "$w" "$h" "$shell"
    done
}

check_labwc() {
    # labwc, as the Raspberry Pi's desktop runs it, at scale 1 and 2: exact frames at the output's
    # own pixels, through Xwayland unscaled and through Wayland where X would be magnified.
    local scale shell
    start_labwc
    for scale in 1 2; do
        in_sway wlr-randr --output HEADLESS-1 --custom-mode 1920x1080 --scale "$scale" ||
            fail "wlr-randr cannot set scale $scale"
        start_app
        shell=xdg_shell
        [ "$scale" != 1 ] || shell=xwayland
        output_plays HEADLESS-1 1920 1080 "$shell"
    done
}

check_wayland_outputs() {
    # Two outputs, 1280 x 720 and 2880 x 1620 at scale 1.5: whichever has the focus gets frames
    # of its own pixels, as an X11 window or a Wayland one as the scale calls for, and the other
    # stays as it was.
    local i focus shown other w h shell
    start_sway "1280x720@1 2880x1620@1.5"
    for i in 1 2; do
        in_sway grim -o "HEADLESS-$i" -t ppm - >"$work/before-$i.ppm" || fail "no screenshot of HEADLESS-$i"
    done
    for focus in 2:1:2880:1620 1:2:1280:720; do
        IFS=: read -r shown other w h <<<"$focus"
        in_sway swaymsg focus output "HEADLESS-$shown" >/dev/null
        start_app
        await_frame "HEADLESS-$shown" wl_frame "HEADLESS-$shown" "$w" "$h"
        in_sway grim -o "HEADLESS-$other" -t ppm - | cmp -s - "$work/before-$other.ppm" || fail "HEADLESS-$other changed"
        shell=xdg_shell
        [ "$shown" = 2 ] || [ "${SDL_VIDEODRIVER:-}" = wayland ] || shell=xwayland
        output_plays "HEADLESS-$shown" "$w" "$h" "$shell"
    done
}

check_wayland_faults() {
    # SIGTERM while it plays, and the compositor going away under it, each end it with status 1;
    # so does SIGTERM while a Fatal-Error box waits, here SDL 3's for a user's own setting that
    # keeps it from drawing on Wayland at all.
    start_sway "2880x1620@1.5"
    start_app
    await_frame "HEADLESS-1" wl_frame HEADLESS-1 2880 1620
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
    await_frame "HEADLESS-1" wl_frame HEADLESS-1 2880 1620
    { kill -9 "$xserver" && wait "$xserver"; } 2>/dev/null
    xserver=
    expect_exit 1 10
}

check_kwin() {
    # KDE Plasma's compositor without its decoration plugin, at scales 1, 1.5 and 2: exact frames
    # of the output's own pixels, full screen. Through X11 where X programs draw at those pixels,
    # KWin's default; else, with E2E_KWIN_CLIENTS_SCALE=false, which magnifies them, Wayland.
    local own_pixels=${E2E_KWIN_CLIENTS_SCALE:-true} scale drawn
    for scale in 1 1.5 2; do
        start_nested kwin 1920 1080 "$scale" "$own_pixels"
        start_app
        drawn=x11
        [ "$scale" = 1 ] || [ "$own_pixels" = true ] || drawn=wayland
        nested_plays 1920 1080 --kwin "$scale" "$drawn"
    done
}

check_weston() {
    # Weston at scale 1 and 2: exact frames of the output's own pixels.
    local scale
    for scale in 1 2; do
        start_nested weston $((1280 * scale)) $((720 * scale)) "$scale"
        start_app
        nested_plays $((1280 * scale)) $((720 * scale)) --no-input
    done
}

check_mutter() {
    # GNOME's compositor, with Xwayland and, with E2E_MUTTER=--no-x11, without: SDL 3 would take
    # its Wayland driver there by itself, as mutter offers wp_fifo_manager_v1. It plays, with no
    # Fatal-Error, and SIGTERM ends it with status 1.
    start_mutter ${E2E_MUTTER:-}
    # The flip recorder goes to the program alone, past setpriv.
    start_via "env LD_PRELOAD=$work/wl/libflip_recorder.so VELMORADE_FLIP_LOG=$work/wl/flips VELMORADE_FLIP_TIMES_ONLY=1" \
        "$prog"
    wait_for 60 flipped 40 "$work/wl/flips" || fail "fewer than 40 frames shown"
    ! grep -q 'Fatal-Error' "$work/err" || fail "$(grep 'Fatal-Error' "$work/err")"
    kill -TERM "$app"
    expect_exit 1
}
