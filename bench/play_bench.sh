#!/bin/bash
# play_bench.sh BUILD_DIR [SECONDS]: what playing costs on each SDL 1.2 stack the system has:
# classic SDL or whatever the program links, sdl12-compat over SDL 2 where it is kept aside, and
# sdl2-compat over SDL 3. For each, at two desktop sizes, the program plays on a private Xvfb for
# SECONDS (default 20) once its first frame shows; the CPU of the program and of the X server,
# the program's threads and resident memory are read from /proc, the frame rate from the flip
# recorder. Where KWin is installed (Debian 13), the same under KWin, nested in Xvfb, on an
# output of 1920 x 1080 pixels at scales 1, 1.5 and 2, as started, with X programs drawn at the
# output's own pixels and magnified. Where sway is, in a headless sway session with Xwayland, at
# 1920 x 1080 on an output of scale 1 and of scale 1.5 (2880 x 1620 pixels): as started, which
# takes Xwayland where the output is not scaled, and with SDL's Wayland driver named. With the
# compositor's CPU and whether OpenGL is loaded.
set -eu
build=${1:-build}
seconds=${2:-20}
recorder=$build/tests/e2e/libflip_recorder.so
work=$(mktemp -d)
xvfb= app= compositor=
cleanup() {
    kill -9 $app $xvfb $compositor 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

# The stacks: a name and the folder to put first on the library path.
linked=$(ldd "$build/velmorade" | awk '/libSDL-1.2/ { print $3 }')
# Where the system's SDL 2 is itself sdl2-compat (Debian 14), the program links SDL 3 underneath.
linked_core="SDL 2"
sdl2=$(/sbin/ldconfig -p | awk '/libSDL2-2.0.so.0 / { print $NF; exit }')
[ -z "$sdl2" ] || ! grep -q libSDL3 "$sdl2" || linked_core="SDL 3"
if grep -q SDL12COMPAT "$linked"; then stacks=("sdl12-compat / $linked_core (linked) "); else stacks=("classic SDL 1.2 "); fi
compat=$(dpkg -L libsdl1.2-compat 2>/dev/null | grep '/sdl12-compat/libSDL-1.2.so.0$' | head -1 || true)
[ -z "$compat" ] || stacks+=("sdl12-compat / SDL 2 $(dirname "$compat")")
sdl3=$(dpkg -L libsdl2-compat 2>/dev/null | grep '/sdl2-compat/libSDL2-2.0.so.0$' | head -1 || true)
[ -z "$sdl3" ] || stacks+=("sdl12-compat / SDL 3 $(dirname "$sdl3")")

printf '| stack | size | program CPU | X server CPU | threads | resident (MB) | frames/s |\n'
printf '|---|---|---|---|---|---|---|\n'
for stack in "${stacks[@]}"; do
    name=${stack% *} lib=${stack##* }
    for size in 1920x1080 3840x2160; do
        Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "${size}x24" 3>"$work/display" 2>/dev/null &
        xvfb=$!
        until grep -q . "$work/display" 2>/dev/null; do sleep 0.05; done
        export DISPLAY=:$(head -1 "$work/display")
        rm -f "$work/flips"
        env ${lib:+LD_LIBRARY_PATH=$lib} LD_PRELOAD="$recorder" VELMORADE_FLIP_LOG="$work/flips" \
            VELMORADE_FLIP_TIMES_ONLY=1 "$build/velmorade" >/dev/null 2>&1 &
        app=$!
        until grep -q flip "$work/flips" 2>/dev/null; do
            kill -0 $app 2>/dev/null || { echo "$name did not play at $size" >&2; exit 1; }
            sleep 0.05
        done
        p0=$(ticks $app) x0=$(ticks $xvfb) f0=$(grep -c flip "$work/flips")
        sleep "$seconds"
        p1=$(ticks $app) x1=$(ticks $xvfb) f1=$(grep -c flip "$work/flips")
        threads=$(awk '/^Threads:/ { print $2 }' "/proc/$app/status")
        rss=$(awk '/^VmRSS:/ { printf "%.0f", $2 / 1024 }' "/proc/$app/status")
        kill -9 $app $xvfb
        wait 2>/dev/null || true
        app= xvfb=
        awk -v n="$name" -v s="${size/x/ x }" -v p=$((p1 - p0)) -v x=$((x1 - x0)) -v t="$threads" -v r="$rss" \
            -v f=$((f1 - f0)) -v hz="$hz" -v sec="$seconds" 'BEGIN {
                printf "| %s | %s | %.1f %% | %.1f %% | %s | %s | %.1f |\n", n, s, 100 * p / hz / sec,
                    100 * x / hz / sec, t, r, f / sec }'
    done
done

# Compositors refuse root: they, the program and their tools run as nobody, from copies in the
# work folder.
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
chmod 755 "$work"
mkdir -m 700 "$work/wl"
cp "$build/velmorade" "$recorder" "$(dirname "$0")/../tests/e2e/kwin_session.sh" \
    "$(dirname "$0")/../tests/e2e/kwinoutputconfig.json" "$work/wl/"
chown -R 65534:65534 "$work/wl"

# play_in_session NAME WHAT ENV...: plays the program with the session's ENV until its first frame
# shows, then for SECONDS; sets cpu (the program's ticks), session (the ticks of what
# session_ticks counts), frames and gl.
play_in_session() {
    local name=$1 what=$2; shift 2
    rm -f "$work/wl/flips"
    "${nobody[@]}" env -i XDG_RUNTIME_DIR="$work/wl" HOME="$work/wl" PATH=/usr/bin:/bin "$@" \
        LD_PRELOAD="$work/wl/${recorder##*/}" VELMORADE_FLIP_LOG="$work/wl/flips" VELMORADE_FLIP_TIMES_ONLY=1 \
        "$work/wl/velmorade" >"$work/wl/out" 2>&1 &
    app=$!
    until grep -qs flip "$work/wl/flips"; do
        kill -0 $app 2>/dev/null || { echo "$name did not play $what: $(cat "$work/wl/out")" >&2; exit 1; }
        sleep 0.05
    done
    local p0 c0 f0
    p0=$(ticks $app) c0=$(session_ticks) f0=$(grep -c flip "$work/wl/flips")
    sleep "$seconds"
    cpu=$(($(ticks $app) - p0)) session=$(($(session_ticks) - c0)) frames=$(($(grep -c flip "$work/wl/flips") - f0))
    gl=no
    ! grep -qE '/lib(GL|GLX|EGL|gallium)[-._]' "/proc/$app/maps" || gl=yes
}
# The Xwayland of nobody's session; it outlives its compositor for a moment, and the next
# session's must be the only one.
xwayland_ticks() { local t=0 x; for x in $(pgrep -u 65534 -x Xwayland); do t=$((t + $(ticks $x))); done; echo $t; }
end_xwayland() {
    pkill -9 -u 65534 -x Xwayland || true
    while pgrep -u 65534 -x Xwayland >/dev/null; do sleep 0.05; done
}
row() {
    awk -v n="$1" -v s="$2" -v p="$cpu" -v c="$session" -v g="$gl" -v f="$frames" -v hz="$hz" -v sec="$seconds" 'BEGIN {
        printf "| %s | %s | %.1f %% | %.1f %% | %s | %.1f |\n", n, s, 100 * p / hz / sec, 100 * c / hz / sec, g, f / sec }'
}

# KWin, nested in an Xvfb of its output's 1920 x 1080 pixels, at scales 1, 1.5 and 2, with X
# programs drawn at the output's own pixels (KDE's default) and magnified: as started, which
# takes X11 where it is not magnified. KWin's and Xwayland's CPU; the Xvfb shows KWin's output as
# a screen would. KWin starts as the end-to-end checks start it.
if command -v kwin_wayland >/dev/null; then
    printf '\n| path | scale, X programs | program CPU | KWin and Xwayland CPU | OpenGL | frames/s |\n|---|---|---|---|---|---|\n'
    session_ticks() { echo $(($(ticks $kwin) + $(xwayland_ticks))); }
    for stack in "${stacks[@]}"; do
        name=${stack% *} lib=${stack##* }
        [ "$name" != "classic SDL 1.2" ] || continue
        for scale in 1 1.5 2; do
            for own_pixels in true false; do
                [ "$scale" != 1 ] || [ "$own_pixels" = true ] || continue
                Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1984x1080x24 3>"$work/display" 2>/dev/null &
                xvfb=$!
                until grep -q . "$work/display" 2>/dev/null; do sleep 0.05; done
                export DISPLAY=:$(head -1 "$work/display")
                rm -f "$work/wl/session"
                setsid "${nobody[@]}" env -i XDG_RUNTIME_DIR="$work/wl" HOME="$work/wl" PATH=/usr/bin:/bin DISPLAY="$DISPLAY" \
                    dbus-run-session -- "$work/wl/kwin_session.sh" 1920 1080 "$scale" $own_pixels wayland-bench \
                    >/dev/null 2>&1 &
                compositor=$!
                until grep -qs '^DISPLAY=' "$work/wl/session"; do sleep 0.05; done
                kwin=$(pgrep -u 65534 -x kwin_wayland)
                x11=$(grep -E '^(DISPLAY|XAUTHORITY)=.' "$work/wl/session")
                # shellcheck disable=SC2086 # assignments
                play_in_session "$name" "under KWin at scale $scale" WAYLAND_DISPLAY=wayland-bench $x11 \
                    ${lib:+LD_LIBRARY_PATH=$lib}
                path="$name, Wayland"
                # shellcheck disable=SC2086 # assignments
                "${nobody[@]}" env $x11 xdotool search --name '^Velmorade$' >/dev/null 2>&1 && path="$name, X11"
                # One group: bash reports a killed job at the next command, to its stderr then.
                { kill -9 $app $xvfb; kill -9 -- "-$compositor"; wait; } 2>/dev/null || true
                app= compositor= xvfb=
                end_xwayland
                rm -f "$work/wl/wayland-bench" "$work/wl/wayland-bench.lock"
                X=$([ $own_pixels = true ] && echo "own pixels" || echo magnified)
                row "$path" "$scale, $X"
            done
        done
    done
fi

command -v sway >/dev/null || exit 0
printf '\n| path | scale | program CPU | sway and Xwayland CPU | OpenGL | frames/s |\n|---|---|---|---|---|---|\n'
session_ticks() { echo $(($(ticks $compositor) + $(xwayland_ticks))); }
for stack in "${stacks[@]}"; do
    name=${stack% *} lib=${stack##* }
    [ "$name" != "classic SDL 1.2" ] || continue
    for scale in 1 1.5; do
        for driver in "" wayland; do
            w=$(awk -v s=$scale 'BEGIN { print 1920 * s }') h=$(awk -v s=$scale 'BEGIN { print 1080 * s }')
            printf 'output HEADLESS-1 mode %sx%s scale %s\nxwayland enable\nexec env >%s\n' "$w" "$h" "$scale" \
                "$work/wl/session" >"$work/wl/config"
            rm -f "$work/wl/session"
            env -i XDG_RUNTIME_DIR="$work/wl" HOME="$work/wl" PATH=/usr/bin:/bin WLR_BACKENDS=headless \
                WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 "${nobody[@]}" sway -c "$work/wl/config" >/dev/null 2>&1 &
            compositor=$!
            until grep -qs '^DISPLAY=' "$work/wl/session"; do sleep 0.05; done
            # shellcheck disable=SC2046 # assignments
            play_in_session "$name" "at scale $scale" $(grep -E '^(WAYLAND_DISPLAY|DISPLAY)=' "$work/wl/session") \
                ${driver:+SDL_VIDEODRIVER=$driver} ${lib:+LD_LIBRARY_PATH=$lib}
            path="$name, Xwayland"
            env -i XDG_RUNTIME_DIR="$work/wl" $(grep '^SWAYSOCK=' "$work/wl/session") "${nobody[@]}" swaymsg -t get_tree |
                grep -q '"shell": "xdg_shell"' && path="$name, Wayland"
            { kill -9 $app $compositor; wait; } 2>/dev/null || true
            app= compositor=
            end_xwayland
            row "$path${driver:+ (named)}" "$scale"
        done
    done
done
