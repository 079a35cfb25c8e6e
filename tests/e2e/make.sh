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

# throwaway_certificates DIR: in DIR, made anew, a self-signed RSA code-signing certificate with
# its key (sign.p12, whose password is in password), a timestamp authority's (tsa.pem, tsa.key,
# tsa.cnf for openssl ts) and roots.pem, both certificates; the timestamp server is started on
# them and its address is in stamp.
throwaway_certificates() {
    local d=$1
    mkdir -m 700 "$d" && (
        cd "$d" &&
            openssl req -x509 -newkey rsa:3072 -nodes -keyout sign.key -out sign.pem -days 2 -subj "/CN=Velmorade test" \
                -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning &&
            openssl req -x509 -newkey rsa:2048 -nodes -keyout tsa.key -out tsa.pem -days 2 -subj "/CN=Velmorade test TSA" \
                -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=critical,timeStamping &&
            openssl rand -hex 16 >password &&
            openssl pkcs12 -export -inkey sign.key -in sign.pem -out sign.p12 -passout file:password &&
            cat sign.pem tsa.pem >roots.pem && echo 01 >serial &&
            printf '%s\n' '[tsa]' 'default_tsa = t' '[t]' "serial = $d/serial" "signer_cert = $d/tsa.pem" \
                "signer_key = $d/tsa.key" 'signer_digest = sha256' 'default_policy = 1.3.6.1.4.1.99999.1' \
                'digests = sha256' 'ess_cert_id_alg = sha256' >tsa.cnf
    ) >"$work/certificates.log" 2>&1 || fail "cannot make throwaway certificates: $(tail -3 "$work/certificates.log")"
    python3 "$here/timestamp_server.py" "$d/tsa.cnf" >"$d/port" 2>"$work/timestamps.log" &
    helper=$!
    wait_for 30 test -s "$d/port" || fail "the timestamp server did not start: $(cat "$work/timestamps.log")"
    echo "http://127.0.0.1:$(cat "$d/port")" >"$d/stamp"
}

check_release() {
    # The release as users download it, made from clean clones in other folders, at other times,
    # umasks and time zones. The first is signed with throwaway keys: its SHA256SUMS.asc verifies
    # against the GnuPG key and no other, and its Windows programs and setup carry Authenticode
    # signatures that verify. The second, made without them, says so and is the same byte for
    # byte but for the Windows files; with the first's detached signatures attached, it is the
    # same altogether. In each the sums check; the source, unpacked without git, builds as make
    # run builds it, and its program plays. The arm64 .deb is cross-built in one Debian 12 root
    # for both, this build's, made once.
    local version names run clone signed one two f
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
    names="SHA256SUMS velmorade-$version-web.zip velmorade-$version-win64-setup.exe velmorade-$version-win64.zip
           velmorade-$version.tar.gz velmorade_${version}_$(dpkg --print-architecture).deb velmorade_${version}_arm64.deb
           scoop winget"
    throwaway_key "$work/key"
    throwaway_certificates "$work/certs"
    # make_release UMASK TZ [VAR=VALUE...]: make release in the clone, dist/ checked.
    make_release() {
        (umask "$1" && cd "$clone" && env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS TZ="$2" make release \
            ARM64_ROOT="$build/bookworm-cross" "${@:3}") >"$work/release.log" 2>&1 ||
            fail "make release in $clone: $(tail -20 "$work/release.log")"
        [ "$(ls "$clone/dist" | sort | tr '\n' ' ')" = "$(echo $names ${signed:+SHA256SUMS.asc velmorade-$version-win64-signatures.zip} |
            tr ' ' '\n' | sort | tr '\n' ' ')" ] || fail "dist/ holds $(ls "$clone/dist" | tr '\n' ' ')"
        (cd "$clone/dist" && sha256sum --quiet -c SHA256SUMS) || fail "the sums do not check in $clone/dist"
    }
    for run in "022 Asia/Tokyo one 1" "027 America/Los_Angeles two/a/b"; do
        set -- $run
        clone=$work/$3/velmorade signed=${4:-}
        (umask "$1" && git clone -q "$project" "$clone") || fail "cannot clone into $clone"
        if [ -n "$signed" ]; then
            make_release "$1" "$2" SIGNING_GNUPGHOME="$work/key" CODESIGN_PKCS12="$work/certs/sign.p12" \
                CODESIGN_PASSWORD_FILE="$work/certs/password" CODESIGN_TIMESTAMP="$(cat "$work/certs/stamp")" \
                CODESIGN_ROOTS="$work/certs/roots.pem"
        else
            make_release "$1" "$2"
            grep -qx 'release: SHA256SUMS is not signed: no SIGNING_GNUPGHOME' "$work/release.log" ||
                fail "an unsigned release does not say so"
        fi
    done
    one=$work/one/velmorade/dist two=$work/two/a/b/velmorade/dist
    diff -r -x 'SHA256SUMS*' -x '*win64*' -x winget -x scoop "$one" "$two" >"$work/release.diff" ||
        fail "the two releases differ: $(head -5 "$work/release.diff")"
    ! osslsigncode extract-signature -in "$two/velmorade-$version-win64-setup.exe" -out "$work/none.sig" >/dev/null 2>&1 ||
        fail "the unsigned release's setup carries a signature"

    # Every Windows file of the first verifies, the setup, the program and the saver; a copy of
    # the setup with one byte changed does not. The uninstaller is verified where the setup
    # writes it (e2e_wine_setup_signed, which takes this setup).
    unzip -q "$one/velmorade-$version-win64.zip" -d "$work/zip" || fail "cannot unpack the signed zip"
    for f in "$one/velmorade-$version-win64-setup.exe" "$work/zip/velmorade-$version-win64/velmorade.exe" \
        "$work/zip/velmorade-$version-win64/velmorade.scr"; do
        signed_by "$f" "$work/certs/roots.pem" || fail "$(basename "$f") is not signed as it should be: $(tail -5 "$work/verify.log")"
    done
    cp "$one/velmorade-$version-win64-setup.exe" "$work/changed.exe"
    printf '\1' | dd of="$work/changed.exe" bs=1 seek=$(($(stat -c %s "$work/changed.exe") / 2)) conv=notrunc 2>/dev/null
    ! signed_by "$work/changed.exe" "$work/certs/roots.pem" || fail "a setup with one byte changed still verifies"
    mkdir -p "$build/tests/signed"
    cp "$one/velmorade-$version-win64-setup.exe" "$work/certs/roots.pem" "$build/tests/signed/"

    # The first's detached signatures, attached to the second's unsigned build, give the first.
    unzip -q "$one/velmorade-$version-win64-signatures.zip" -d "$work" || fail "cannot unpack the signatures"
    signed=1
    make_release 022 UTC CODESIGN_SIGNATURES="$work/velmorade-$version-win64-signatures" SIGNING_GNUPGHOME="$work/key"
    diff -r -x SHA256SUMS.asc "$one" "$two" >"$work/release.diff" ||
        fail "with the signatures attached, the releases differ: $(head -5 "$work/release.diff")"

    # The signature checks with gpgv against the key's public half as the site publishes it, and
    # fails for a changed SHA256SUMS and against another key.
    gpg --homedir "$work/key" --batch --export >"$work/keyring.gpg"
    gpgv --keyring "$work/keyring.gpg" "$one/SHA256SUMS.asc" "$one/SHA256SUMS" \
        2>"$work/gpgv.log" || fail "SHA256SUMS.asc does not verify: $(cat "$work/gpgv.log")"
    sed 's/^./0/' "$one/SHA256SUMS" >"$work/SHA256SUMS.changed"
    ! gpgv --keyring "$work/keyring.gpg" "$one/SHA256SUMS.asc" "$work/SHA256SUMS.changed" 2>/dev/null ||
        fail "SHA256SUMS.asc verifies a changed SHA256SUMS"
    throwaway_key "$work/other"
    gpg --homedir "$work/other" --batch --export >"$work/other.gpg"
    ! gpgv --keyring "$work/other.gpg" "$one/SHA256SUMS.asc" "$one/SHA256SUMS" 2>/dev/null ||
        fail "SHA256SUMS.asc verifies against another key"
    gpgconf --homedir "$work/key" --kill gpg-agent
    gpgconf --homedir "$work/other" --kill gpg-agent
    "$project/tests/manifest_check.sh" "$build" "$one" >"$work/manifests.log" 2>&1 ||
        fail "the release's manifests: $(tail -5 "$work/manifests.log")"
    unzip -l "$one/velmorade-$version-web.zip" | grep -q " velmorade-$version-web/velmorade.html\$" ||
        fail "the web zip holds no velmorade-$version-web/velmorade.html"
    tar -xzf "$one/velmorade-$version.tar.gz" -C "$work" || fail "cannot unpack the source"
    [ ! -e "$work/velmorade-$version/.git" ] || fail "the source holds .git"
    env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS make -C "$work/velmorade-$version" build TESTS=OFF >"$work/release.log" 2>&1 ||
        fail "the unpacked source does not build: $(tail -20 "$work/release.log")"
    start_x 1280x720x24
    start "$work/velmorade-$version/build/velmorade"
    desktop_plays 1280 720
}
