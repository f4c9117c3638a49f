#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs every test:
#   1. the plain build's tests (build/), then its Debian package's contents
#   2. the same tests under AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)
#   3. the model's tests, the fault suite and Cancel at random moments under
#      ThreadSanitizer (build-tsan/)
#   4. the fuzz target over its seeds and regressions, then fuzzing for
#      KRUMPLE_FUZZ_SECONDS (default 120; 0 skips it)
# and ends with the tests' share of the code (scripts/test-share.sh) and the
# hardening summary (scripts/summary.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/setup.sh"

ledgers="$root/build/ledgers"
rm -rf "$ledgers"
mkdir -p "$ledgers"
supp="$root/tests/sanitizers"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="suppressions=$supp/tsan.supp:ignore_noninstrumented_modules=1:halt_on_error=1:second_deadlock_stack=1"

# run_tests NAME BUILD-DIR [ctest arguments]: the counts go to the ledger NAME.
run_tests() {
  local name=$1 dir=$2
  shift 2
  echo "== $name tests"
  KRUMPLE_LEDGER="$ledgers/$name" ctest --test-dir "$dir" --output-on-failure --no-tests=error -j"$jobs" "$@" \
    | tee -a "$ledgers/$name.ctest"
}

"$root/scripts/build.sh"
run_tests plain "$root/build"
"$root/scripts/package-check.sh" "$root/build"

cmake -S "$root" -B "$root/build-asan" -G Ninja -DKRUMPLE_TESTS=ON -DKRUMPLE_SANITIZE=ON >/dev/null
cmake --build "$root/build-asan" -j"$jobs"
run_tests asan "$root/build-asan"

cmake -S "$root" -B "$root/build-tsan" -G Ninja -DKRUMPLE_TESTS=ON -DKRUMPLE_SANITIZE=thread >/dev/null
cmake --build "$root/build-tsan" -j"$jobs" --target model_tests hardening_tests
run_tests tsan "$root/build-tsan" -L model
run_tests tsan "$root/build-tsan" -R '^(Faults|Interruptions\.Cancel)'

echo "== fuzzing"
"$root/scripts/fuzz.sh" --replay
seconds=${KRUMPLE_FUZZ_SECONDS:-120}
[ "$seconds" -gt 0 ] && "$root/scripts/fuzz.sh" "$seconds"

"$root/scripts/test-share.sh"
"$root/scripts/summary.sh"
