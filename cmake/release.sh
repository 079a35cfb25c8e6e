#!/bin/sh
# release.sh DIST BUILD WIN_BUILD WEB_BUILD [TAG]: gathers a release's files into DIST, each named
# with the version CMake's project defines: the source as git holds the last commit, the .debs
# for amd64 and arm64, the Windows setup and zip (and when they are signed, their detached
# signatures as a zip), the web app's folder as a zip, the winget and Scoop manifests (winget/,
# scoop/), and SHA256SUMS of them all; with SIGNING_GNUPGHOME, a GnuPG home that holds the
# project's key, SHA256SUMS.asc, its signature.
# `make release` builds the rest first, with SOURCE_DATE_EPOCH set from that commit and TZ=UTC,
# so that every file is the same byte for byte whoever makes it, wherever and whenever. With TAG,
# the tag must be vVERSION.
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
dist=$1 build=$2 win=$3 web=$4 tag=${5:-}
fail() { echo "release: $*" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
[ -z "$tag" ] || [ "$tag" = "v$version" ] || fail "the tag $tag does not name version $version"
[ -n "${SOURCE_DATE_EPOCH:-}" ] || fail "SOURCE_DATE_EPOCH is not set: make release sets it from git"
# The source and the programs must be the same commit.
[ -z "$(git -C "$src" status --porcelain --untracked-files=no)" ] ||
    fail "the work tree has changes that are not committed; a release is made from a commit"

deb=$build/velmorade_${version}_$(dpkg --print-architecture).deb
deb_arm64=$build/velmorade_${version}_arm64.deb
setup=$win/velmorade-$version-win64-setup.exe
zip=$win/velmorade-$version-win64.zip
for f in "$deb" "$deb_arm64" "$setup" "$zip" "$web/velmorade.html"; do [ -f "$f" ] || fail "$f is missing"; done

rm -rf "$dist"
mkdir -p "$dist"
dist=$(cd "$dist" && pwd)

# git archive dates every file with the commit's time and names no owner; gzip -n adds no name
# or time of its own.
git -C "$src" archive --format=tar --prefix="velmorade-$version/" HEAD | gzip -9n >"$dist/velmorade-$version.tar.gz"
cp "$deb" "$deb_arm64" "$setup" "$zip" "$dist/"

# zip_folder DIR NAME: DIR as the folder NAME of the zip NAME.zip, in a fixed order, every file
# dated with the commit and with the same modes whatever the umask was.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
zip_folder() {
    cp -R "$1" "$stage/$2"
    find "$stage/$2" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
    find "$stage/$2" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    (cd "$stage" && find "$2" | LC_ALL=C sort | zip -q -X -@ "$dist/$2.zip")
}
zip_folder "$web" "velmorade-$version-web"

# The Authenticode signatures of a signed Windows build, detached: attached to an unsigned build
# of the same source (make windows CODESIGN_SIGNATURES=DIR), they give the released files.
if [ -d "$win/signatures" ]; then
    for f in velmorade.exe velmorade.scr uninstall.exe "$(basename "$setup")"; do
        [ -f "$win/signatures/$f.sig" ] || fail "the Windows build is signed, but $win/signatures holds no $f.sig"
    done
    zip_folder "$win/signatures" "velmorade-$version-win64-signatures"
fi

# The package managers' manifests of the Windows release, which carry its hashes.
"$src/cmake/manifests.sh" "$dist" "$version"

cd "$dist"
sums=$(find . -type f | sed 's#^\./##' | LC_ALL=C sort | xargs sha256sum --)
echo "$sums" >SHA256SUMS
if [ -n "${SIGNING_GNUPGHOME:-}" ]; then
    "$src/cmake/sign-sums.sh" . "$SIGNING_GNUPGHOME"
else
    echo "release: SHA256SUMS is not signed: no SIGNING_GNUPGHOME"
fi
echo "release $version in $dist:"
ls -l
