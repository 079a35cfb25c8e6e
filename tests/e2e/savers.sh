# savers.sh: the checks of the xscreensaver hack: run by xscreensaver's own daemon, on one monitor
# and on two, and in the settings dialog's preview window or on the root window.

check_saver_xscreensaver() {
    # xscreensaver's own daemon runs the hack full screen, one on each monitor of a layout. It
    # launches hacks only for a user other than root, so the hack, a home and the daemon are that
    # user's: nobody.
    local screens
    if [ -n "${E2E_LAYOUT:-}" ]; then
        start_layout "$E2E_LAYOUT"
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
    as_nobody() { "${NOBODY[@]}" env -i HOME="$work/home" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin "$@"; }
    as_nobody xscreensaver -no-splash >"$work/out" 2>"$work/err" &
    app=$!
    wait_for 20 as_nobody xscreensaver-command -time >/dev/null 2>&1 || fail "the xscreensaver daemon did not start"
    as_nobody xscreensaver-command -activate >/dev/null
    hacks() { pgrep -c -f "^$work/velmorade-saver"; }
    wait_for 10 eval '[ "$(hacks)" -ge ${#screens[@]} ]' || fail "xscreensaver did not start a hack for each monitor"
    monitors_play "${screens[@]}"
    [ "$(hacks)" -eq ${#screens[@]} ] || fail "$(hacks) hacks for ${#screens[@]} monitors"
    # The daemon has its own helper end the hacks once it has unblanked; on a busy machine that
    # takes a while. A hack that ignores being told to end still runs long after.
    as_nobody xscreensaver-command -deactivate >/dev/null
    wait_for 20 eval 'as_nobody xscreensaver-command -time 2>/dev/null | grep -q "non-blanked"' ||
        fail "the daemon did not unblank after -deactivate"
    wait_for 20 eval '[ "$(hacks)" -eq 0 ]' || fail "the hack still runs after -deactivate"
}

# saver_window DEPTH: the settings dialog's preview, on a display of DEPTH bits: a window of any
# size, handed over by its id. Destroying it, or SIGTERM, ends the hack with status 0; a window id
# that names no window is refused.
saver_window() {
    local saver=$hack preview
    start_x "1280x1024x$1"
    "$tools/e2e_tool" window 725 407 >"$work/window" &
    host=$!
    wait_for 10 grep -q . "$work/window" || fail "no preview window"
    preview=$(cat "$work/window")
    start "$saver" -- --window-id "$preview"
    await_frame "the preview" shows_frame 725 407 -id "$preview"
    kill "$host"
    host=
    expect_exit 0
    start "$saver" -- --window-id "$preview"
    expect_exit 1
    [ "$(cat "$work/err")" = "velmorade-saver: no such window: $preview" ] || fail "stderr: $(cat "$work/err")"
    start "$saver" -- --root
    await_frame "the root window" shows_frame 1280 1024 -root
    kill -TERM "$app"
    expect_exit 0
}
check_saver_window_16() { saver_window 16; }
check_saver_window_30() { saver_window 30; }
