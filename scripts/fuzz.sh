#!/usr/bin/env bash
# Builds the libFuzzer programs with clang in build-fuzz/ and runs them, in one of two modes:
#
#   scripts/fuzz.sh --regression [name ...]
#       What CI runs; the same commit always gives the same result. Each program first runs
#       every input checked in under fuzz/corpus/<name>/ once (past findings included), then
#       explores from that corpus with a fixed seed for a fixed number of runs
#       (FUZZ_SEED, default 1; FUZZ_RUNS, default per program below). A fresh scratch corpus is
#       used every time, so nothing from an earlier run changes the path taken.
#
#   scripts/fuzz.sh [name ...]
#       Open-ended exploration for use by hand and before a release: each program runs for
#       FUZZ_SECONDS seconds (default 60) from a random seed, keeping what it finds in
#       build-fuzz/corpus/<name>/ between runs.
#
# Both fail on the first program that finds a crash, a sanitizer report or a broken property;
# the offending input is left in build-fuzz/findings/<name>/ and its path printed. Whatever
# exploration finds is added to fuzz/corpus/<name>/ in the same commit as its fix, so that the
# regression mode replays it from then on.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build-fuzz

mode=explore
if [[ "${1:-}" == "--regression" ]]; then
  mode=regression
  shift
fi

# Runs per program in regression mode, chosen so that the whole stage takes about three
# minutes on two loaded cores (each program's executions per second differ widely).
declare -A default_runs=(
  [batch_splitter_fuzz]=2000000
  [list_file_fuzz]=60000
  [log_scanner_fuzz]=40000
  [media_info_fuzz]=2000000
  [param_file_fuzz]=40000
  [profile_store_fuzz]=40000
  [sg_message_fuzz]=1000000
)
# Extra options per program in regression mode. The profile store names each write's
# temporary file at random; with comparison tracing on, those names feed the mutator and the
# path taken would differ from run to run.
declare -A regression_options=(
  [profile_store_fuzz]="-use_cmp=0"
)

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
# -timeout is generous in regression mode: a slow input on a loaded machine must not fail CI
# by chance; a real hang still fails it.
common=(-max_len=4096 -rss_limit_mb=2048 -print_final_stats=1)

# libFuzzer's exploration is repeatable for a given seed only when nothing in it depends on
# time or on where code is loaded: -reload=0 stops the once-a-second corpus reload, and running
# without address-space randomisation keeps the program counters that its comparison tables
# hash the same from run to run.
norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  norandom=(setarch "$(uname -m)" -R)
elif [[ $mode == regression ]]; then
  echo "warning: cannot turn off address-space randomisation; exploration may differ between runs"
fi

fail() {
  local name=$1 log=$2 findings=$3
  tail -n 60 "$log"
  echo "$name failed; input kept in $findings/"
  exit 1
}

for name in "${targets[@]}"; do
  findings="$build/findings/$name"
  seeds="fuzz/corpus/$name"
  mkdir -p "$findings"
  log="$build/$name.log"
  if [[ $mode == regression ]]; then
    seed=${FUZZ_SEED:-1}
    runs=${FUZZ_RUNS:-${default_runs[$name]:-20000}}
    read -r -a extra <<<"${regression_options[$name]:-}"
    inputs=("$seeds"/*)
    echo "== $name: ${#inputs[@]} corpus input(s), then seed $seed for $runs runs ${extra[*]}"
    # 1. Every checked-in input once, as a regression test.
    if ! "$build/fuzz/$name" -timeout=120 -artifact_prefix="$findings/" "${common[@]}" \
         "${inputs[@]}" >"$log" 2>&1; then
      fail "$name" "$log" "$findings"
    fi
    # 2. Fixed-seed, fixed-count exploration from a fresh copy of the corpus.
    work="$build/regression-corpus/$name"
    rm -rf "$work"
    mkdir -p "$work"
    if ! "${norandom[@]}" "$build/fuzz/$name" "$work" "$seeds" -seed="$seed" -runs="$runs" -reload=0 \
         "${extra[@]}" -timeout=120 -artifact_prefix="$findings/" "${common[@]}" >>"$log" 2>&1; then
      fail "$name" "$log" "$findings"
    fi
  else
    seconds=${FUZZ_SECONDS:-60}
    work="$build/corpus/$name"
    mkdir -p "$work"
    echo "== $name for ${seconds}s from a random seed"
    if ! "$build/fuzz/$name" "$work" "$seeds" -max_total_time="$seconds" -timeout=10 \
         -artifact_prefix="$findings/" "${common[@]}" >"$log" 2>&1; then
      fail "$name" "$log" "$findings"
    fi
    grep -E '^INFO: Seed:' "$log" | head -n 1 || true
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | sed -E 's/ exec\/s:.*//' || true
done
echo "fuzzing found nothing"
