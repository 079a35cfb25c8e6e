#!/bin/sh
# workflow_check.sh BUILD_DIR: the project's GitHub workflows read by GitHub's own parser, which
# npm installs once into BUILD_DIR/workflow-parser: each must parse without an error and keep the
# rules of workflow_check.mjs, and copies with a misspelt key, an action taken by its tag, write
# permissions by default or in the tests' job, or an expression in a script must each fail.
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
parser=$1/workflow-parser
fail() { echo "FAIL (workflows): $*"; exit 1; }

if [ ! -f "$parser/node_modules/@actions/workflow-parser/package.json" ]; then
    npm install --prefix "$parser" --no-audit --no-fund --no-save --loglevel=error @actions/workflow-parser@0.3.61 ||
        fail "cannot install GitHub's workflow parser with npm"
fi
check() { node "$src/tests/workflow_check.mjs" "$parser" "$@"; }

for workflow in "$src"/.github/workflows/*.yml; do
    check "$workflow" || fail "$(basename "$workflow") does not parse"
done

broken=$(mktemp)
trap 'rm -f "$broken"' EXIT
# broken WHAT SED SAID: a copy of the release workflow changed by SED must fail, saying SAID.
broken() {
    sed "$2" "$src/.github/workflows/release.yml" >"$broken"
    ! out=$(check "$broken") || fail "a workflow $1 passes"
    echo "$out" | grep -q "$3" || fail "a workflow $1: the finding is not named: $out"
}
broken "whose runs-on is misspelt" 's/runs-on:/runs_on:/' "Unexpected value 'runs_on'"
broken "with an action taken by its tag" 's/checkout@[0-9a-f]*/checkout@v4/' "actions/checkout@v4 is not pinned"
broken "that writes by default" '0,/^  contents: read$/s//  contents: write/' "top-level permissions must be read only"
broken "whose test job may write" '/^  build:$/a\    permissions:\n      contents: write' "job build runs the tests and may write"
broken "that expands an expression in a script" 's/make release TAG="$GITHUB_REF_NAME"/make release TAG="${{ github.ref_name }}"/' \
    "job build expands an expression"
echo "ok: the workflows parse and grant the least; broken copies do not"
