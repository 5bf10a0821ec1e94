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
echo
echo "\$ zarezodud validate --params examples/params.ini UpgradeDB"
"$zz" validate --params examples/params.ini UpgradeDB
echo
echo "\$ zarezodud plan --params examples/params.ini UpgradeDB"
"$zz" plan --params examples/params.ini UpgradeDB
echo
echo "\$ zarezodud plan --params examples/params.ini PreUpgrade --json"
"$zz" plan --params examples/params.ini PreUpgrade --json
