#!/bin/sh
# make-icons.sh: renders data/velmorade.svg into the PNG icons installed on Linux and the
# multi-size .ico that the Windows program carries. Run it after changing the SVG, and commit
# what it writes (rsvg-convert from librsvg2-bin, convert from ImageMagick).
set -eu
data=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$data/icons"
for size in 16 32 48 64 128 256; do
    rsvg-convert -w $size -h $size "$data/velmorade.svg" -o "$data/icons/velmorade-$size.png"
done
convert "$data/icons/velmorade-16.png" "$data/icons/velmorade-32.png" "$data/icons/velmorade-48.png" \
    "$data/icons/velmorade-256.png" "$data/icons/velmorade.ico"
