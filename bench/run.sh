#!/usr/bin/env bash
# Runs every benchmark program of a build tree and prints its figures, ratios included.
# Usage: bench/run.sh [BUILD_DIR]   (default: build)
# The end-to-end cost of `zarezodud run` per script (against the test peer, beside bsqldb) is
# measured by bench/run_command_bench.sh, which needs python3 and freetds-bin.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
for exe in "$dir"/bench/*_bench; do
  [[ -x "$exe" ]] || continue
  echo "== $(basename "$exe")"
  "$exe" --benchmark_counters_tabular=true
done
