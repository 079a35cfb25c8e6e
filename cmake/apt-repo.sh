#!/bin/sh
# apt-repo.sh OUT GNUPGHOME DEB...: the site's signed apt repository in OUT, made with Debian's
# own tools: one suite, stable, with the component main, holding each .deb for its architecture
# (apt-ftparchive's Packages, compressed, and Release with its hashes); the AppStream data of
# each .deb's metainfo, as DEP-11 Components and a 64-pixel icon for the software centres
# (appstreamcli); Release signed as InRelease and Release.gpg with the secret key that GNUPGHOME
# holds, and that key's public half beside it as a binary keyring for Signed-By, and armoured.
set -eu
out=$1 home=$2
shift 2
fail() { echo "apt-repo: $*" >&2; exit 1; }
key=$(gpg --homedir "$home" --batch --list-secret-keys --with-colons 2>/dev/null | awk -F: '$1 == "fpr" { print $10; exit }')
[ -n "$key" ] || fail "no secret key in $home"
id=io.github.velmorade.Velmorade

rm -rf "$out"
mkdir -p "$out/pool/main" "$out/dists/stable/main/dep11"
cp "$@" "$out/pool/main/"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cd "$out"
archs=
for deb in pool/main/*.deb; do
    arch=$(dpkg-deb -f "$deb" Architecture)
    package=$(dpkg-deb -f "$deb" Package)
    archs="$archs $arch"
    mkdir -p "dists/stable/main/binary-$arch"
    # The component as the .deb's metainfo has it, with the package and the icon the software
    # centres show, in a catalog of its own.
    rm -rf "$stage/deb" && mkdir "$stage/deb" && dpkg-deb -x "$deb" "$stage/deb"
    {
        echo '<?xml version="1.0" encoding="utf-8"?>'
        echo '<components version="0.14" origin="velmorade">'
        sed -e '/^<?xml/d' -e "s#^</component>#  <pkgname>$package</pkgname>\\
  <icon type=\"cached\" width=\"64\" height=\"64\">${package}_velmorade.png</icon>\\
</component>#" "$stage/deb/usr/share/metainfo/$id.metainfo.xml"
        echo '</components>'
    } >"$stage/catalog.xml"
    appstreamcli convert "$stage/catalog.xml" "$stage/Components-$arch.yml" >/dev/null ||
        fail "appstreamcli cannot convert the metainfo of $deb"
    # apt looks for each index by its plain name in Release, and then for its compressed forms.
    cp "$stage/Components-$arch.yml" dists/stable/main/dep11/
    gzip -9nk "dists/stable/main/dep11/Components-$arch.yml"
    cp "$stage/deb/usr/share/icons/hicolor/64x64/apps/velmorade.png" "$stage/${package}_velmorade.png"
done
archs=$(echo $archs | tr ' ' '\n' | sort -u | tr '\n' ' ' | sed 's/ $//')
for arch in $archs; do
    apt-ftparchive --arch "$arch" packages pool >"dists/stable/main/binary-$arch/Packages"
    gzip -9nk "dists/stable/main/binary-$arch/Packages"
    xz -k "dists/stable/main/binary-$arch/Packages"
done
(cd "$stage" && tar --owner=0 --group=0 -cf - ./*_velmorade.png) >dists/stable/main/dep11/icons-64x64.tar
gzip -9nk dists/stable/main/dep11/icons-64x64.tar
apt-ftparchive release -o APT::FTPArchive::MD5=false -o APT::FTPArchive::SHA1=false \
    -o APT::FTPArchive::Release::Origin=Velmorade -o APT::FTPArchive::Release::Label=Velmorade \
    -o APT::FTPArchive::Release::Suite=stable -o APT::FTPArchive::Release::Codename=stable \
    -o APT::FTPArchive::Release::Architectures="$archs" -o APT::FTPArchive::Release::Components=main \
    -o APT::FTPArchive::Release::Description="Velmorade, for Debian 12 and later, Ubuntu and Raspberry Pi OS" \
    dists/stable >"$stage/Release"
mv "$stage/Release" dists/stable/Release
gpg --homedir "$home" --batch --yes --local-user "$key" --digest-algo SHA512 --clearsign -o dists/stable/InRelease dists/stable/Release
gpg --homedir "$home" --batch --yes --local-user "$key" --digest-algo SHA512 --armor --detach-sign -o dists/stable/Release.gpg dists/stable/Release
gpg --homedir "$home" --batch --export "$key" >velmorade-archive-keyring.gpg
# The same public key armoured, to read or import, and to check SHA256SUMS.asc with.
gpg --homedir "$home" --batch --armor --export "$key" >velmorade-archive-keyring.asc
