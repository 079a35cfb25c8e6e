#!/bin/sh
# Runs the program with no X display and no video driver asked for: SDL falls back to a driver
# that draws nowhere or only as text, and the program must end promptly with status 1 and the
# fatal error line on stderr. setsid and no terminal on stdin keep a text driver off the
# terminal that runs the tests.
prog=$1
err=$(mktemp)
trap 'rm -f "$err"' EXIT
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 30 setsid -w "$prog" </dev/null >/dev/null 2>"$err"
status=$?
cat "$err"
[ "$status" -eq 1 ] || { echo "exit status $status, expected 1"; exit 1; }
[ "$(tail -1 "$err")" = "Fatal-Error: No available video device" ] || { echo "no Fatal-Error line on stderr"; exit 1; }
