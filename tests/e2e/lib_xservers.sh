# lib_xservers.sh: X servers for the end-to-end checks: Xvfb, Xorg's layouts of two monitors,
# window managers, and what a mode change would alter. Sourced by e2e.sh after lib.sh.

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
