#!/bin/sh
# debian-mirror.sh: prints the Debian mirror that the system's apt sources name for the system's
# own release, from one-line or deb822 sources, so that the build scripts never name one.
set -eu
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk -v suite="$suite" '$1 == "deb" { for (i = 2; i < NF; i++) if ($i ~ /:\/\// && $(i + 1) == suite) { print $i; exit } }')
if [ -z "$mirror" ]; then
    mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk -v suite="$suite" '
        function found() { return index(" " suites " ", " " suite " ") && uris != "" }
        /^[ \t]*$/ { if (found()) { print uris; exit } uris = suites = "" }
        /^URIs:/ { uris = $2 }
        /^Suites:/ { $1 = ""; suites = $0 }
        END { if (found()) print uris }' | head -1)
fi
[ -n "$suite" ] && [ -n "$mirror" ] || { echo "no Debian mirror for the system's release ($suite) in its apt sources" >&2; exit 1; }
echo "$mirror"
