#!/usr/bin/env bash
# Builds the libFuzzer target with clang and fuzzes the path from bytes on
# disk to a converted file.
#   scripts/fuzz.sh [SECONDS]   fuzz for SECONDS (default 60) from the seeds in
#                               tests/fuzz/corpus; the run is logged in
#                               build-fuzz/runs.tsv (runs worth keeping are
#                               copied by hand into tests/fuzz/runs.tsv)
#   scripts/fuzz.sh --replay    run every seed and regression input once
#   scripts/fuzz.sh --merge     fold what the work corpus gained into the seeds
# A finding is saved under build-fuzz/findings and the script exits non-zero.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
fuzzer="$build/tests/fuzz/convert_fuzzer"
seeds="$root/tests/fuzz/corpus"
regressions="$root/tests/fuzz/regressions"
work="$build/corpus"

clang=${KRUMPLE_CLANG:-clang++-16}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$clang" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKRUMPLE_FUZZ=ON -DKRUMPLE_TESTS=OFF >/dev/null
cmake --build "$build" --target convert_fuzzer

export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$work" "$build/findings"
opts=(-max_len=16384 -timeout=30 -rss_limit_mb=3072 -print_final_stats=1 -artifact_prefix="$build/findings/")
runs="$build/runs.tsv"
[ -f "$runs" ] || printf 'when\tseconds\tinputs\tresult\n' >"$runs"

case "${1:-}" in
--replay)
  mapfile -t inputs < <(find "$seeds" "$regressions" -type f 2>/dev/null | sort)
  "$fuzzer" "${opts[@]}" "${inputs[@]}" 2>"$build/replay.log" || { tail -40 "$build/replay.log"; exit 1; }
  echo "fuzz replay: ${#inputs[@]} inputs, no finding"
  exit 0 ;;
--merge)
  "$fuzzer" "${opts[@]}" -merge=1 "$seeds" "$work" 2>"$build/merge.log"
  echo "seed corpus: $(ls "$seeds" | wc -l) files, $(du -sk "$seeds" | cut -f1) KB"
  exit 0 ;;
esac

seconds=${1:-60}
cp -n "$seeds"/* "$work"/ 2>/dev/null || true
log="$build/fuzz-$(date +%Y%m%d-%H%M%S).log"
status=0
start=$SECONDS
(cd "$build/findings" && "$fuzzer" "${opts[@]}" -max_total_time="$seconds" "$work") >"$log" 2>&1 || status=$?
took=$((SECONDS - start))
execs=$(grep -ao 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1 || echo 0)
result=$([ $status -eq 0 ] && echo clean || echo "finding, see $log")
printf '%s\t%s\t%s\t%s\n' "$(date -u +%Y-%m-%dT%H:%M:%SZ)" "${took:-0}" "${execs:-0}" "$result" >>"$runs"
echo "fuzz: ${took:-0} s, ${execs:-0} inputs, $result"
exit $status
