#!/bin/sh
# workflow_check.sh BUILD_DIR: the project's GitHub workflows read by GitHub's own parser, which
# npm installs once into BUILD_DIR/workflow-parser: each must parse without an error, and a copy
# with a misspelt key must fail, so that the parser really reads them.
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
sed 's/runs-on:/runs_on:/' "$src/.github/workflows/release.yml" >"$broken"
! out=$(check "$broken") || fail "a workflow whose runs-on is misspelt parses"
echo "$out" | grep -q "Unexpected value 'runs_on'" || fail "the misspelt key is not named: $out"
echo "ok: the workflows parse, and a broken one does not"
