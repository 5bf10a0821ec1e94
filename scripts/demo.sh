#!/usr/bin/env bash
# Installs what is missing, builds, and runs the zarezodud command on the shipped example.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
scripts/build.sh build
zz=build/cli/zarezodud
echo "\$ zarezodud products --product-config examples/ProductConfig.ini"
"$zz" products --product-config examples/ProductConfig.ini
