# make.sh: the checks of make itself: on a system without apt-get and dpkg, as a user who cannot
# install, and the release's files, made twice from clean clones.

project=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

check_elsewhere() {
    # Another distribution, without apt-get and dpkg: make names what it needs, then builds the
    # program once that is there, and it plays.
    path_without apt-get dpkg dpkg-query
    make_elsewhere() { env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS PATH="$work/bin" make -s -C "$project" "$@" >"$work/out" 2>&1; }
    ! make_elsewhere deps INCLUDE_DIRS="$work/none" || fail "make deps passed without SDL's headers"
    grep -q '^Missing: SDL/SDL.h' "$work/out" && grep -q 'Fedora:.*sdl12-compat-devel' "$work/out" ||
        fail "make does not name what it needs: $(head -3 "$work/out")"
    make_elsewhere build BUILD="$work/build" TESTS=OFF || fail "make build: $(tail -5 "$work/out")"
    : >"$work/out"
    start_x 1280x720x24
    start "$work/build/velmorade"
    desktop_plays 1280 720
}

check_no_root() {
    # A user who is neither root nor has sudo, with a package missing: make names the packages it
    # lacks and the one line to run as root, promises no install, and fails.
    dpkg-query -W -f='${Status}\n' hello 2>/dev/null | grep -q 'install ok installed' && fail "hello is installed here"
    path_without sudo
    # The Makefile alone, where the other user can read it wherever the project lies.
    cp "$project/Makefile" "$work/" && chmod 755 "$work"
    ! "${NOBODY[@]}" env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS PATH="$work/bin" \
        make -s -C "$work" deps PACKAGES="make hello" >"$work/out" 2>&1 || fail "make deps passed without hello"
    grep -qx '  apt-get install --no-install-recommends hello' "$work/out" ||
        fail "no apt-get line for hello alone: $(cat "$work/out")"
    ! grep -q 'Installing:\|not found' "$work/out" || fail "it promises what it cannot do: $(cat "$work/out")"
    : >"$work/out"
}

# throwaway_key HOME: a GnuPG home made anew, holding a signing key without a passphrase.
throwaway_key() {
    mkdir -m 700 "$1" && gpg --homedir "$1" --batch --passphrase '' --quick-gen-key "Velmorade test <test@invalid>" \
        ed25519 sign never 2>/dev/null || fail "cannot make a throwaway key in $1"
}

check_release() {
    # The release as users download it, made twice from clean clones in other folders, at other
    # times, umasks and time zones: the same files byte for byte, whose sums check; the source,
    # unpacked without git, builds as make run builds it, and its program plays. The first is
    # signed: its SHA256SUMS.asc verifies against the key, and no other. The arm64 .deb is
    # cross-built in one Debian 12 root for both, this build's, made once.
    local version names run clone name signed
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
    names="SHA256SUMS velmorade-$version-web.zip velmorade-$version-win64-setup.exe velmorade-$version-win64.zip
           velmorade-$version.tar.gz velmorade_${version}_$(dpkg --print-architecture).deb velmorade_${version}_arm64.deb
           scoop winget"
    # The first is signed with a throwaway key, the second made without one.
    throwaway_key "$work/key"
    for run in "022 Asia/Tokyo one $work/key" "027 America/Los_Angeles two/a/b"; do
        set -- $run
        clone=$work/$3/velmorade signed=${4:-}
        (umask "$1" && git clone -q "$project" "$clone" &&
            env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS TZ="$2" make -C "$clone" release ARM64_ROOT="$build/bookworm-cross" \
                SIGNING_GNUPGHOME="$signed") >"$work/release.log" 2>&1 ||
            fail "clone and make release in $clone: $(tail -20 "$work/release.log")"
        [ "$(ls "$clone/dist" | sort | tr '\n' ' ')" = "$(echo $names ${signed:+SHA256SUMS.asc} | tr ' ' '\n' | sort | tr '\n' ' ')" ] ||
            fail "dist/ holds $(ls "$clone/dist" | tr '\n' ' ')"
        [ -n "$signed" ] || grep -qx 'release: SHA256SUMS is not signed: no SIGNING_GNUPGHOME' "$work/release.log" ||
            fail "an unsigned release does not say so"
        (cd "$clone/dist" && sha256sum --quiet -c SHA256SUMS) || fail "the sums do not check in $clone/dist"
    done
    diff -r -x SHA256SUMS.asc "$work/one/velmorade/dist" "$work/two/a/b/velmorade/dist" >"$work/release.diff" ||
        fail "the two releases differ: $(head -5 "$work/release.diff")"
    # The signature checks with gpgv against the key's public half as the site publishes it, and
    # fails for a changed SHA256SUMS and against another key.
    gpg --homedir "$work/key" --batch --export >"$work/keyring.gpg"
    gpgv --keyring "$work/keyring.gpg" "$work/one/velmorade/dist/SHA256SUMS.asc" "$work/one/velmorade/dist/SHA256SUMS" \
        2>"$work/gpgv.log" || fail "SHA256SUMS.asc does not verify: $(cat "$work/gpgv.log")"
    sed 's/^./0/' "$work/one/velmorade/dist/SHA256SUMS" >"$work/SHA256SUMS.changed"
    ! gpgv --keyring "$work/keyring.gpg" "$work/one/velmorade/dist/SHA256SUMS.asc" "$work/SHA256SUMS.changed" 2>/dev/null ||
        fail "SHA256SUMS.asc verifies a changed SHA256SUMS"
    throwaway_key "$work/other"
    gpg --homedir "$work/other" --batch --export >"$work/other.gpg"
    ! gpgv --keyring "$work/other.gpg" "$work/one/velmorade/dist/SHA256SUMS.asc" "$work/one/velmorade/dist/SHA256SUMS" 2>/dev/null ||
        fail "SHA256SUMS.asc verifies against another key"
    gpgconf --homedir "$work/key" --kill gpg-agent
    gpgconf --homedir "$work/other" --kill gpg-agent
    "$project/tests/manifest_check.sh" "$build" "$work/one/velmorade/dist" >"$work/manifests.log" 2>&1 ||
        fail "the release's manifests: $(tail -5 "$work/manifests.log")"
    unzip -l "$work/one/velmorade/dist/velmorade-$version-web.zip" | grep -q " velmorade-$version-web/velmorade.html\$" ||
        fail "the web zip holds no velmorade-$version-web/velmorade.html"
    tar -xzf "$work/one/velmorade/dist/velmorade-$version.tar.gz" -C "$work" || fail "cannot unpack the source"
    [ ! -e "$work/velmorade-$version/.git" ] || fail "the source holds .git"
    env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS make -C "$work/velmorade-$version" build TESTS=OFF >"$work/release.log" 2>&1 ||
        fail "the unpacked source does not build: $(tail -20 "$work/release.log")"
    start_x 1280x720x24
    start "$work/velmorade-$version/build/velmorade"
    desktop_plays 1280 720
}
