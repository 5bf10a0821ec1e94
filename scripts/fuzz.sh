#!/usr/bin/env bash
# Builds the libFuzzer programs with clang in build-fuzz/ and runs each one from its seed corpus
# (fuzz/corpus/<name>/) for FUZZ_SECONDS seconds (default 60). New inputs go to a scratch
# corpus under build-fuzz/, never into the source tree. Fails on the first program that finds a
# crash, a sanitizer report or a broken property; the offending input is left in
# build-fuzz/findings/<name>/ and its path printed.
#   scripts/fuzz.sh [name ...]     only the named programs (e.g. batch_splitter_fuzz)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${FUZZ_SECONDS:-60}
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZAREZODUD_BUILD_FUZZ=ON -DZAREZODUD_BUILD_TESTS=OFF -DZAREZODUD_BUILD_CLI=OFF >/dev/null
if [[ $# -gt 0 ]]; then
  targets=("$@")
else
  targets=()
  for source in fuzz/*_fuzz.cc; do targets+=("$(basename "$source" .cc)"); done
fi
cmake --build "$build" -j"${FUZZ_JOBS:-2}" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for name in "${targets[@]}"; do
  work="$build/corpus/$name"
  findings="$build/findings/$name"
  mkdir -p "$work" "$findings"
  echo "== $name for ${seconds}s"
  if ! "$build/fuzz/$name" "$work" "fuzz/corpus/$name" -max_total_time="$seconds" -max_len=4096 \
       -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/" -print_final_stats=1 \
       >"$build/$name.log" 2>&1; then
    tail -n 60 "$build/$name.log"
    echo "$name failed; input kept in $findings/"
    exit 1
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$build/$name.log" || true
done
echo "fuzzing found nothing"
