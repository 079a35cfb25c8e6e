#!/bin/sh
# manifests.sh DIST VERSION: the package managers' manifests of the Windows release in DIST, from
# the setup and the zip there and NEWS.md: DIST/winget/, the three manifests of winget's schema
# 1.10.0 (version, installer, default locale) for the setup; DIST/scoop/velmorade.json for the
# zip. Both name the files by their address on the release page and carry their SHA-256. Only
# the files' contents go in, so the manifests are the same from build to build.
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
dist=$1 version=$2
fail() { echo "manifests: $*" >&2; exit 1; }
setup=velmorade-$version-win64-setup.exe
zip=velmorade-$version-win64.zip
for f in "$setup" "$zip"; do [ -f "$dist/$f" ] || fail "$dist/$f is missing"; done
sum() { sha256sum "$dist/$1" | cut -d' ' -f1; }
releases=https://github.com/velmorade/velmorade/releases
id=Velmorade.Velmorade
warning="Photosensitivity warning: high-contrast stripes in motion can trigger seizures in people with photosensitive epilepsy."

# The newest release in NEWS.md: its date, and its changes as they stand there.
date=$(sed -n 's/^## '"$version"' (\([0-9-]*\))$/\1/p' "$src/NEWS.md" | head -1)
[ -n "$date" ] || fail "NEWS.md has no heading for $version"
notes=$(awk -v heading="## $version ($date)" '$0 == heading { on = 1; next } on && /^## / { exit } on' "$src/NEWS.md" |
    sed '/^$/d; s/^/  /')

mkdir -p "$dist/winget" "$dist/scoop"
cat >"$dist/winget/$id.yaml" <<MANIFEST
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.version.1.10.0.schema.json
PackageIdentifier: $id
PackageVersion: $version
DefaultLocale: en-US
ManifestType: version
ManifestVersion: 1.10.0
MANIFEST

# The setup installs for all users and records itself in Apps under the key Velmorade; winget
# passes nullsoft's /S, and /D= for a folder of the user's choice.
cat >"$dist/winget/$id.installer.yaml" <<MANIFEST
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.installer.1.10.0.schema.json
PackageIdentifier: $id
PackageVersion: $version
InstallerType: nullsoft
Scope: machine
InstallModes:
  - interactive
  - silent
UpgradeBehavior: install
ElevationRequirement: elevatesSelf
ReleaseDate: $date
AppsAndFeaturesEntries:
  - DisplayName: Velmorade
    Publisher: The Velmorade authors
    DisplayVersion: $version
    ProductCode: Velmorade
Installers:
  - Architecture: x64
    InstallerUrl: $releases/download/v$version/$setup
    InstallerSha256: $(sum "$setup" | tr a-f A-F)
ManifestType: installer
ManifestVersion: 1.10.0
MANIFEST

cat >"$dist/winget/$id.locale.en-US.yaml" <<MANIFEST
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.defaultLocale.1.10.0.schema.json
PackageIdentifier: $id
PackageVersion: $version
PackageLocale: en-US
Publisher: The Velmorade authors
PublisherUrl: https://github.com/velmorade
PackageName: Velmorade
PackageUrl: https://velmorade.github.io/velmorade/
License: MIT
LicenseUrl: https://github.com/velmorade/velmorade/blob/v$version/LICENSE
ShortDescription: "A full-screen optical illusion of running diamond stripes, with a screen saver. $warning"
Description: |-
  Concentric black-and-white diamond stripes fill the screen around its centre; inside a central
  disc they run toward the centre, and outside it they run away from it. The eye does the rest.
  The setup installs the program, an entry in the Start menu and the screen saver.
  $warning Do not run Velmorade, or use it as a screen saver, where such a person may see it.
Moniker: velmorade
Tags:
  - illusion
  - animation
  - screensaver
ReleaseNotes: |-
$notes
ReleaseNotesUrl: $releases/tag/v$version
ManifestType: defaultLocale
ManifestVersion: 1.10.0
MANIFEST

# Scoop unpacks the zip, whose one folder holds the program; checkver and autoupdate find the
# next release on GitHub, and its hash in that release's SHA256SUMS.
cat >"$dist/scoop/velmorade.json" <<MANIFEST
{
    "version": "$version",
    "description": "A full-screen optical illusion of running diamond stripes. $warning",
    "homepage": "https://velmorade.github.io/velmorade/",
    "license": "MIT",
    "notes": [
        "$warning Do not run Velmorade, or use it as a screen saver, where such a person may see it.",
        "The screen saver: right-click \$dir\\\\velmorade.scr and choose Install."
    ],
    "architecture": {
        "64bit": {
            "url": "$releases/download/v$version/$zip",
            "hash": "$(sum "$zip")",
            "extract_dir": "velmorade-$version-win64"
        }
    },
    "bin": "velmorade.exe",
    "shortcuts": [
        [
            "velmorade.exe",
            "Velmorade"
        ]
    ],
    "checkver": {
        "github": "https://github.com/velmorade/velmorade"
    },
    "autoupdate": {
        "architecture": {
            "64bit": {
                "url": "$releases/download/v\$version/velmorade-\$version-win64.zip",
                "extract_dir": "velmorade-\$version-win64",
                "hash": {
                    "url": "\$baseurl/SHA256SUMS"
                }
            }
        }
    }
}
MANIFEST
