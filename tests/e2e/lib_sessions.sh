# lib_sessions.sh: Wayland compositors' sessions for the end-to-end checks: sway, labwc, mutter,
# and KWin and Weston nested in an X server. Sourced by e2e.sh after lib.sh and lib_xservers.sh.

# Compositors refuse root: they, the program and the tools that talk to
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
