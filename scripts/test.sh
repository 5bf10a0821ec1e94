#!/usr/bin/env bash
# Installs what is missing, builds the engine twice and runs the tests:
#   build/       normal build, static analysis (scripts/static-analysis.sh), every test
#   build-asan/  AddressSanitizer + UndefinedBehaviorSanitizer build, unit tests
#   build/packages/  the Debian packages, checked by scripts/package-check.sh (lintian, apt-get
#                install and remove), only when CI=true or PACKAGE=1
#   build-fuzz/  libFuzzer programs over their checked-in corpora plus a fixed-seed, fixed-count
#                exploration (scripts/fuzz.sh --regression), only when CI=true or FUZZ=1
# Exits non-zero on any failure. In CI (CI=true) a skipped integration test is a failure.
# STATIC_ANALYSIS=0 skips the static analysis stage.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
# Paths below the checkout are hashed relative to it, so a fresh clone elsewhere reuses the
# compiler cache of an earlier one.
export CCACHE_BASEDIR="$root"

jobs=$(nproc)
scripts/build.sh build -DZAREZODUD_BUILD_BENCH=ON
if [[ "${STATIC_ANALYSIS:-1}" != "0" ]]; then
  echo "== static analysis (build/)"
  TIDY_JOBS=$jobs scripts/static-analysis.sh
fi
scripts/build.sh build-asan -DZAREZODUD_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== unit and integration tests (build/)"
(cd build && ctest --output-on-failure -j"$jobs" --timeout 600 2>&1 | tee ctest.log)
status=${PIPESTATUS[0]}
[[ $status -eq 0 ]] || { echo "tests failed"; exit 1; }
if [[ "${CI:-}" == "true" ]]; then
  # An integration test that skipped (a driver or server missing) fails the run in CI.
  integration=$(cd build && ctest -N -L integration | sed -nE 's/^ *Test +#[0-9]+: (.*)$/\1/p')
  skipped=$(grep -E "\*\*\*Skipped" build/ctest.log | sed -nE 's/.*Test +#[0-9]+: ([^ ]+) .*/\1/p' || true)
  for name in $skipped; do
    if grep -qxF "$name" <<<"$integration"; then
      echo "integration test skipped in CI: $name"
      exit 1
    fi
  done
fi

if [[ "${CI:-}" == "true" || "${PACKAGE:-}" == "1" ]]; then
  echo "== Debian packages: lintian, install, installed command and -dev package, remove (build/packages/)"
  scripts/package-check.sh build
fi

echo "== unit tests under AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)"
(cd build-asan && ctest --output-on-failure -j"$jobs" -L unit --timeout 900 2>&1 | tee ctest.log)
[[ ${PIPESTATUS[0]} -eq 0 ]] || { echo "sanitizer tests failed"; exit 1; }
if [[ "${CI:-}" == "true" || "${FUZZ:-}" == "1" ]]; then
  echo "== fuzzing: corpus regression and fixed-seed exploration (build-fuzz/)"
  FUZZ_JOBS=$jobs scripts/fuzz.sh --regression
fi
echo "all tests passed"
