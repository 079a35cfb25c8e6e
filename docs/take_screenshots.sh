#!/bin/bash
# take_screenshots.sh BUILD_DIR: photographs the real program under Xvfb for the README:
# docs/velmorade.png (frame 7 at 640x360) and docs/velmorade.gif (the whole cycle at 320x180).
set -eu
build=${1:-build}
docs=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
xvfb= app=
cleanup() { kill -9 $app $xvfb 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

# shoot W H: starts the program on a W x H screen and leaves one xwd of each frame in $work.
shoot() {
    local w=$1 h=$2 got=0 frame
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "${w}x${h}x24" 3>"$work/display" 2>/dev/null &
    xvfb=$!
    until grep -q . "$work/display" 2>/dev/null; do sleep 0.05; done
    export DISPLAY=:$(head -1 "$work/display")
    "$build/velmorade" >/dev/null 2>&1 &
    app=$!
    # Screenshots land on whatever frame is up; keep going until every frame has been caught.
    for ((i = 0; i < 2000 && got < 14; i++)); do
        xwd -silent -root >"$work/shot.xwd" 2>/dev/null || continue
        frame=$("$build/tests/e2e/e2e_tool" match "$w" "$h" "$work/shot.xwd" 2>/dev/null) || continue
        if [ ! -f "$work/frame-$(printf %02d "$frame").xwd" ]; then
            mv "$work/shot.xwd" "$work/frame-$(printf %02d "$frame").xwd"
            got=$((got + 1))
        fi
    done
    kill $app $xvfb 2>/dev/null || true
    wait 2>/dev/null || true
    app= xvfb=
    [ "$got" -eq 14 ] || { echo "caught only $got of the 14 frames"; exit 1; }
}

shoot 640 360
convert "$work/frame-07.xwd" -strip "$docs/velmorade.png" # mid-cycle: the disc shows
rm -f "$work"/frame-*.xwd "$work/display"

shoot 320 180
for f in "$work"/frame-*.xwd; do convert "$f" "${f%.xwd}.png"; done
# 3 hundredths of a second a frame: GIF timing has no finer step near the real 25 ms.
convert -delay 3 -loop 0 "$work"/frame-*.png -layers Optimize "$docs/velmorade.gif"
ls -l "$docs/velmorade.png" "$docs/velmorade.gif"
