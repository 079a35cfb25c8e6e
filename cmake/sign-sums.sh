#!/bin/sh
# sign-sums.sh DIST GNUPGHOME: DIST/SHA256SUMS.asc, the detached, armoured signature of
# DIST/SHA256SUMS with the project's key, which GNUPGHOME holds (the key that signs the apt
# repository too, so that users trust one key for both).
set -eu
gpg --homedir "$2" --batch --yes --armor --detach-sign --digest-algo SHA512 \
    --output "$1/SHA256SUMS.asc" "$1/SHA256SUMS" || { echo "release: cannot sign SHA256SUMS with the key in $2" >&2; exit 1; }
