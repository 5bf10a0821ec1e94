#!/usr/bin/env bash
# Configures and builds one build tree quietly.
# Usage: scripts/build.sh BUILD_DIR [extra cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
if [[ ! -f "$dir/build.ninja" ]]; then
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; exit 1; }
fi
out=$(cmake --build "$dir" 2>&1) || { echo "$out"; exit 1; }
echo "$out" | grep -E "warning:|error:" || true
