#!/bin/sh
# codesign.sh CONF FILE [NAME]: gives the Windows program FILE, released as NAME (by default its
# own name), its Authenticode signature, in place, as CONF (written by cmake/codesign.cmake) says:
# - with a certificate (a PKCS#12 file, or a key in a PKCS#11 token and its certificates), signs
#   it with SHA-256 and an RFC 3161 timestamp, checks the signature against the roots given, and
#   keeps it detached in the build's signatures folder. A signature kept there that fits FILE is
#   attached instead, so that each program is signed once, the same in the zip and the setup;
# - with a folder of detached signatures (a release's), attaches NAME's, which fits only if FILE is
#   the released file's unsigned self, and keeps a copy as above;
# - with neither, leaves FILE as it is.
set -eu
conf=$1 file=$2 name=${3:-$(basename "$2")}
fail() { echo "codesign: $name: $*" >&2; exit 1; }

PKCS12= PASSWORD_FILE= PKCS11_MODULE= KEY= CERTS= TIMESTAMP= ROOTS= ATTACH= KEPT=
while IFS= read -r line; do
    case $line in
    PKCS12=* | PASSWORD_FILE=* | PKCS11_MODULE=* | KEY=* | CERTS=* | TIMESTAMP=* | ROOTS=* | ATTACH=* | KEPT=*)
        eval "${line%%=*}=\${line#*=}" ;;
    esac
done <"$conf"
[ -n "$PKCS12$PKCS11_MODULE$ATTACH" ] || exit 0

mkdir -p "$KEPT"
signed=$file.signed
trap 'rm -f "$signed" "$signed.log"' EXIT

# attach SIGNATURE ROOTS: FILE with SIGNATURE attached, if the signature is FILE's.
attach() {
    [ -f "$1" ] && osslsigncode attach-signature -sigin "$1" -CAfile "$2" -TSA-CAfile "$2" \
        -in "$file" -out "$signed" >"$signed.log" 2>&1 && replace
}

# replace: FILE's bytes become the signed copy's, its mode kept. osslsigncode writes no file that
# exists already, so the copy goes in any case.
replace() {
    cat "$signed" >"$file"
    rm -f "$signed"
}

if [ -n "$ATTACH" ]; then
    [ -f "$ATTACH/$name.sig" ] || fail "no signature $name.sig in $ATTACH"
    attach "$ATTACH/$name.sig" "$ATTACH/roots.pem" ||
        fail "the signature in $ATTACH is not this build's $name: it differs from the released file"
    [ "$ATTACH/$name.sig" -ef "$KEPT/$name.sig" ] || cp "$ATTACH/$name.sig" "$ATTACH/roots.pem" "$KEPT/"
    exit 0
fi

if ! attach "$KEPT/$name.sig" "$KEPT/roots.pem"; then
    rm -f "$signed"
    [ -n "$TIMESTAMP" ] || fail "no timestamp server (CODESIGN_TIMESTAMP)"
    [ -f "$PASSWORD_FILE" ] || fail "no password file (CODESIGN_PASSWORD_FILE)"
    if [ -n "$PKCS12" ]; then
        set -- -pkcs12 "$PKCS12"
    else
        set -- -pkcs11module "$PKCS11_MODULE" -key "$KEY" -certs "$CERTS"
    fi
    osslsigncode sign "$@" -readpass "$PASSWORD_FILE" -h sha256 -ts "$TIMESTAMP" \
        -n Velmorade -i https://velmorade.github.io/velmorade/ -in "$file" -out "$signed" >"$signed.log" 2>&1 ||
        fail "osslsigncode cannot sign it: $(tail -3 "$signed.log")"
    osslsigncode verify -CAfile "$ROOTS" -TSA-CAfile "$ROOTS" -in "$signed" >"$signed.log" 2>&1 ||
        fail "its signature does not verify against the roots in $ROOTS: $(grep -i 'error' "$signed.log" | head -2)"
    cp "$ROOTS" "$KEPT/roots.pem"
    rm -f "$KEPT/$name.sig"
    osslsigncode extract-signature -pem -in "$signed" -out "$KEPT/$name.sig" >/dev/null
    replace
fi
