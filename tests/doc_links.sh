#!/bin/sh
# doc_links.sh FILE...: every relative link in these Markdown and HTML files, read from where each
# file lies, names a file or folder that exists. Addresses with a scheme, mail and in-page anchors
# are left alone.
status=0
for file in "$@"; do
    dir=$(dirname "$file")
    # Markdown's ](target) and ](target "title"), HTML's href="target" and src="target".
    links=$(grep -o -e '](\([^) ]*\)' -e '\(href\|src\)="[^"]*"' "$file" |
        sed -e 's/^](//' -e 's/^\(href\|src\)="//' -e 's/"$//' -e 's/#.*//')
    for link in $links; do
        case $link in *:* | '') continue ;; esac
        [ -e "$dir/$link" ] || { echo "FAIL: $file links to $link, which does not exist"; status=1; }
    done
done
[ $status -ne 0 ] || echo "ok: every relative link in $# files is there"
exit $status
