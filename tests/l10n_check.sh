#!/bin/sh
# l10n_check.sh: the catalogues in po/ are complete, msgfmt --check takes each, and each holds
# the photosensitivity warning; the template holds every text of the sources. Copies of po/ in
# which one catalogue lacks the warning's translation, holds it fuzzy, or is refused by msgfmt
# must each stop the build's check, naming that language and its file; a target leaves out a
# language whose catalogue lacks one of its texts.
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL (l10n): $*"; exit 1; }
check() { python3 "$src/cmake/l10n.py" check "$@"; }

check "$src/po" --complete || fail "the catalogues are not complete"
# The template made anew from the sources holds the same texts as the one kept, so that no text
# of the sources goes untranslated (the tools' versions may wrap and order it otherwise).
cp -R "$src/po" "$work/fresh"
python3 "$src/cmake/l10n.py" template "$work/fresh" || fail "cannot make the template"
for pair in "$src/po/velmorade.pot $work/fresh/velmorade.pot" "$work/fresh/velmorade.pot $src/po/velmorade.pot"; do
    # shellcheck disable=SC2086 # two files
    msgcmp --use-untranslated $pair 2>"$work/said" ||
        fail "po/velmorade.pot is not the sources' (python3 cmake/l10n.py update po): $(head -3 "$work/said")"
done

# broken NAME SED: a copy of po/ whose German catalogue SED has changed must fail the check,
# saying de and po/de.po.
broken() {
    rm -rf "$work/po" && cp -R "$src/po" "$work/po"
    sed -i "$2" "$work/po/de.po"
    ! check "$work/po" 2>"$work/said" || fail "a catalogue $1 passes"
    grep -q "de: .*/po/de.po" "$work/said" || { cat "$work/said"; fail "a catalogue $1: the failure names no de.po"; }
}
broken "without the warning's translation" '/^msgid "Photosensitivity warning."$/{n;s/.*/msgstr ""/}'
broken "with the warning fuzzy" '/^msgid "Photosensitivity warning."$/i #, fuzzy'
broken "that msgfmt refuses" '/^msgid "Photosensitivity warning."$/{n;s/.*/msgstr "Warnhinweis zur Fotosensibilität.\\n"/}'

# A catalogue that lacks one text of a target: that target leaves the language out rather than
# mix it with English, and a target whose texts it has all keeps it.
rm -rf "$work/po" && cp -R "$src/po" "$work/po"
sed -i '/^msgid "Optical Illusion"$/{n;s/.*/msgstr ""/}' "$work/po/de.po"
for entry in io.github.velmorade.Velmorade saver/velmorade; do
    python3 "$src/cmake/l10n.py" desktop "$work/po" "$src/data/$entry.desktop.in" "$work/${entry#*/}.desktop" ||
        fail "cannot merge $entry.desktop.in"
done
! grep -q '\[de\]=' "$work/io.github.velmorade.Velmorade.desktop" || fail "a menu entry half in German"
grep -q '^Comment\[fr\]=' "$work/io.github.velmorade.Velmorade.desktop" || fail "the menu entry lost French"
grep -q '^Comment\[de\]=' "$work/velmorade.desktop" || fail "the saver's entry lost German, whose texts it has"
echo "ok: the catalogues are complete and hold the warning; broken copies fail; an incomplete one is left out"
