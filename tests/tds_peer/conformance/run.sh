#!/usr/bin/env bash
# Runs one conformance test file of the protocol test peer with Node.js's test runner.
# Exits 77 (skipped) when Node.js or the pinned tedious package is missing; scripts/install-deps.sh
# installs both, and CI fails on a skipped integration test.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v node >/dev/null 2>&1; then
  echo "SKIPPED: node (Node.js) is not installed; run scripts/install-deps.sh"
  exit 77
fi
if [[ ! -f "$here/node_modules/tedious/package.json" ]]; then
  echo "SKIPPED: tedious is not installed in $here/node_modules; run scripts/install-deps.sh"
  exit 77
fi
cd "$here"
exec node --test "$@"
