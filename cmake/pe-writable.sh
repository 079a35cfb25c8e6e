#!/bin/sh
# pe-writable.sh FILE SECTION: marks one section of a Windows program writable, in place.
# The screen saver's delay-load helper writes SDL's addresses into .idata on first use, which
# binutils 2.44 and its strip mark read-only; earlier binutils left it writable.
set -eu
file=$1
name=$2
byte() { od -An -tu1 -j "$1" -N1 "$file" | tr -d ' '; }
u16() { echo $(($(byte "$1") + 256 * $(byte $(($1 + 1))))); }
u32() { echo $(($(u16 "$1") + 65536 * $(u16 $(($1 + 2))))); }
pe=$(u32 60)
count=$(u16 $((pe + 6)))
headers=$((pe + 24 + $(u16 $((pe + 20)))))
i=0
while [ "$i" -lt "$count" ]; do
    at=$((headers + 40 * i))
    if [ "$(dd if="$file" bs=1 skip="$at" count=8 2>/dev/null | tr -d '\000')" = "$name" ]; then
        # The top byte of the section's characteristics: 0x80 is IMAGE_SCN_MEM_WRITE.
        top=$(($(byte $((at + 39))) | 128))
        printf "\\$(printf %03o "$top")" | dd of="$file" bs=1 seek=$((at + 39)) conv=notrunc 2>/dev/null
        exit 0
    fi
    i=$((i + 1))
done
echo "pe-writable.sh: no section $name in $file" >&2
exit 1
