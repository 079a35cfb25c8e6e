#!/bin/sh
# Runs the program with SDL's dummy driver, which cannot set a desktop mode, and no X display:
# it must end promptly with status 1 and the fatal error line on stderr.
prog=$1
err=$(mktemp)
trap 'rm -f "$err"' EXIT
env -u DISPLAY SDL_VIDEODRIVER=dummy timeout 30 "$prog" >/dev/null 2>"$err"
status=$?
cat "$err"
[ "$status" -eq 1 ] || { echo "exit status $status, expected 1"; exit 1; }
grep -q '^Fatal-Error: .' "$err" || { echo "no Fatal-Error line on stderr"; exit 1; }
