# web.sh: the check of the web page in a headless browser, which web_check.py drives.

check_web() {
    # The page opened as a file from a folder that holds it alone, then the app's whole folder
    # served.
    mkdir "$work/page" && cp "$prog" "$work/page/" || fail "cannot copy $prog"
    # axe-core for the accessibility audit, installed by npm once into the build folder.
    local axe=$build/axe/node_modules/axe-core/axe.min.js
    [ -f "$axe" ] || npm install --prefix "$build/axe" --no-audit --no-fund --no-save --loglevel=error axe-core@4.14.1 \
        >"$work/npm.log" 2>&1 || fail "cannot install axe-core with npm: $(tail -3 "$work/npm.log")"
    E2E_AXE=$axe /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/web_check.py" "${E2E_BROWSER:-chromium}" \
        "$work/page/$(basename "$prog")" "$tools/e2e_tool" "$work" "$(dirname "$prog")" >"$work/out" 2>&1 ||
        fail "$(grep '^FAIL' "$work/out" || tail -3 "$work/out")"
}
