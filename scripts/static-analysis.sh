#!/usr/bin/env bash
# Static analysis of the library (src/) and the command (cli/); fails on any finding.
#   cppcheck    warning, performance and portability checks; suppressions in
#               .cppcheck-suppressions or inline ("// cppcheck-suppress <id>") with a reason
#   clang-tidy  the checks of .clang-tidy over the compile database of the normal build
#               (build/compile_commands.json, made by scripts/build.sh or cmake -B build)
# Environment: BUILD_DIR (default build), TIDY_JOBS (default 2), TIDY_SCOPE ("src cli" default;
# "src" for the library only).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${BUILD_DIR:-build}
jobs=${TIDY_JOBS:-2}
scope=${TIDY_SCOPE:-src cli}

echo "== cppcheck"
start=$SECONDS
cppcheck --quiet --std=c++17 --language=c++ --enable=warning,performance,portability \
  --error-exitcode=1 --inline-suppr --suppressions-list=.cppcheck-suppressions \
  -j "$jobs" -I src -D__linux__ -DZAREZODUD_BUILDING_LIBRARY src cli
echo "cppcheck clean in $((SECONDS - start))s"

echo "== clang-tidy"
[[ -f "$build/compile_commands.json" ]] || { echo "no $build/compile_commands.json: build first"; exit 1; }
start=$SECONDS
files=()
for dir in $scope; do
  while IFS= read -r file; do files+=("$root/$file"); done < <(find "$dir" -name '*.cc' | sort)
done
run-clang-tidy -quiet -p "$build" -j "$jobs" "${files[@]}" >"$build/clang-tidy.log" 2>&1 || {
  grep -E 'warning:|error:' "$build/clang-tidy.log" | sort -u | head -100
  echo "clang-tidy found problems (full output in $build/clang-tidy.log)"
  exit 1
}
if grep -qE '(warning|error): ' "$build/clang-tidy.log"; then
  grep -E '(warning|error): ' "$build/clang-tidy.log" | sort -u | head -100
  echo "clang-tidy found problems (full output in $build/clang-tidy.log)"
  exit 1
fi
echo "clang-tidy clean over ${#files[@]} files in $((SECONDS - start))s"
