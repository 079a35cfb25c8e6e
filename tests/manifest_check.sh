#!/bin/sh
# manifest_check.sh BUILD_DIR [DIST]: the release's winget and Scoop manifests checked against
# the formats' published schemas (tests/schemas/) by ajv, which npm installs once into
# BUILD_DIR/manifest-check, and against SHA256SUMS. With DIST, the manifests there; without, those
# cmake/manifests.sh writes for a release of stand-in files, which must pass, while copies with a
# wrong hash, a missing required field or a misspelt key must each fail.
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
modules=$1/manifest-check
fail() { echo "FAIL (manifests): $*"; exit 1; }

if [ ! -f "$modules/node_modules/js-yaml/package.json" ]; then
    npm install --prefix "$modules" --no-audit --no-fund --no-save --loglevel=error ajv@8.17.1 ajv-formats@3.0.1 js-yaml@4.1.0 ||
        fail "cannot install ajv and js-yaml with npm"
fi
check() { node "$src/tests/manifest_check.mjs" "$modules" "$src/tests/schemas" "$1"; }

if [ $# -gt 1 ]; then
    check "$2" || fail "the manifests in $2 do not check"
    echo "ok: the manifests in $2 check"
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(sed -n 's/^## \([0-9.]*\) (.*$/\1/p' "$src/NEWS.md" | head -1)
mkdir "$work/dist"
echo setup >"$work/dist/velmorade-$version-win64-setup.exe"
echo zip >"$work/dist/velmorade-$version-win64.zip"
"$src/cmake/manifests.sh" "$work/dist" "$version"
(cd "$work/dist" && sums=$(find . -type f | sed 's#^\./##' | LC_ALL=C sort | xargs sha256sum --) && echo "$sums" >SHA256SUMS)
out=$(check "$work/dist") || fail "the manifests do not check: $out"

# broken NAME FILE SED: a copy of the release whose FILE sed changed must fail, naming what.
broken() {
    rm -rf "$work/broken" && cp -R "$work/dist" "$work/broken" && sed -i "$3" "$work/broken/$2"
    ! out=$(check "$work/broken") || fail "a manifest with $1 checks"
    echo "ok: with $1: $(echo "$out" | head -1)"
}
other=$(printf 'a%.0s' $(seq 64)) # a hash that is no stand-in's
broken "a wrong hash" winget/Velmorade.Velmorade.installer.yaml "s/InstallerSha256: .*/InstallerSha256: $other/"
broken "a missing required field" winget/Velmorade.Velmorade.locale.en-US.yaml '/^License:/d'
broken "a misspelt key" winget/Velmorade.Velmorade.locale.en-US.yaml 's/^ReleaseNotesUrl:/ReleaseNoteUrl:/'
broken "a wrong hash" scoop/velmorade.json "s/\"hash\": \"[0-9a-f]*\"/\"hash\": \"$other\"/"
broken "a misspelt key" scoop/velmorade.json 's/"homepage"/"homepag"/'
echo "ok: the manifests check, and broken ones do not"
