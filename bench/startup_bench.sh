#!/bin/bash
# startup_bench.sh BUILD_DIR [STARTS]: how long a user looks at a black screen. Starts the real
# program STARTS times (default 5) in a row on a private Xvfb at two desktop sizes and times the
# caption to the first frame with the flip recorder. Then, STARTS times each, it times a plain
# fresh write of the same size (malloc + memset, first touch included) and a write into memory
# already mapped, each in a new process as the program's is. Prints medians and ratios, then
# every sample in the order taken.
set -eu
build=${1:-build}
starts=${2:-5}
recorder=$build/tests/e2e/libflip_recorder.so
work=$(mktemp -d)
xvfb= app=
cleanup() {
    kill -9 $app $xvfb 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# first_frame: starts the program once and prints the milliseconds from its caption to frame 0.
first_frame() {
    local i
    rm -f "$work/flips"
    VELMORADE_FLIP_LOG=$work/flips LD_PRELOAD=$recorder "$build/velmorade" >/dev/null 2>&1 &
    app=$!
    for ((i = 0; i < 1200; i++)); do
        grep -q ' 0$' "$work/flips" 2>/dev/null && break
        sleep 0.05
    done
    kill $app 2>/dev/null || true
    wait $app 2>/dev/null || true
    app=
    awk '$2 == "caption" { c = $1 } $2 == 0 && c { printf "%.1f\n", ($1 - c) / 1000; found = 1; exit }
         END { exit !found }' "$work/flips" || { echo "no first frame after the caption" >&2; exit 1; }
}

printf '| size | first frame (ms) | fresh write (ms) | mapped write (ms) | first frame / fresh | mapped / fresh |\n'
printf '|---|---|---|---|---|---|\n'
for size in 1920x1080 3840x2160; do
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "${size}x24" 3>"$work/display" 2>/dev/null &
    xvfb=$!
    until grep -q . "$work/display" 2>/dev/null; do sleep 0.05; done
    export DISPLAY=:$(head -1 "$work/display")
    : >"$work/first"
    : >"$work/writes"
    for ((n = 0; n < starts; n++)); do first_frame >>"$work/first"; done
    for ((n = 0; n < starts; n++)); do "$build/bench/calc_bench" writes "${size%x*}" "${size#*x}" >>"$work/writes"; done
    kill $xvfb
    wait $xvfb 2>/dev/null || true
    xvfb=
    first=$(median <"$work/first")
    fresh=$(cut -d' ' -f1 "$work/writes" | median)
    mapped=$(cut -d' ' -f2 "$work/writes" | median)
    awk -v s="${size/x/ x }" -v a="$first" -v b="$fresh" -v c="$mapped" \
        'BEGIN { printf "| %s | %.1f | %.1f | %.1f | %.2f | %.2f |\n", s, a, b, c, a / b, c / b }'
    {
        echo "$size first frame: $(tr '\n' ' ' <"$work/first")"
        echo "$size fresh write: $(cut -d' ' -f1 "$work/writes" | tr '\n' ' ')"
        echo "$size mapped write: $(cut -d' ' -f2 "$work/writes" | tr '\n' ' ')"
    } >>"$work/samples"
done
echo
cat "$work/samples"
