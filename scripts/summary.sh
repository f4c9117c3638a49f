#!/usr/bin/env bash
# The hardening summary of the last scripts/test.sh run: inputs tried,
# faults injected, sanitizer runs, fuzzing time, files lost or damaged.
# Exits non-zero when any file was lost or damaged.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ledgers="$root/build/ledgers"
[ -d "$ledgers" ] || { echo "no test run on record: run scripts/test.sh first" >&2; exit 2; }

# count KEY: the sum of KEY over every run's ledger.
count() {
  local n=0 f
  for f in "$ledgers"/plain "$ledgers"/asan "$ledgers"/tsan; do
    [ -f "$f" ] && n=$((n + $(awk -v k="$1" '$1 == k { s += $2 } END { print s + 0 }' "$f")))
  done
  echo "$n"
}
# tests NAME: "passed of total" from that run's ctest output.
tests() {
  local f="$ledgers/$1.ctest"
  [ -f "$f" ] || { echo "not run"; return; }
  sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests* failed out of \([0-9]*\)$/\1 \2/p' "$f" |
    awk '{ failed += $1; total += $2 } END { printf "%d of %d tests passed", total - failed, total }'
}
# fuzzing LOG...: "seconds inputs runs findings" over the logs that exist.
fuzzing() {
  local logs=() f
  for f in "$@"; do [ -f "$f" ] && logs+=("$f"); done
  [ ${#logs[@]} -gt 0 ] || { echo "0 0 0 0"; return; }
  awk -F'\t' 'FNR > 1 { s += $2; n += $3; r += 1; if ($4 !~ /^clean/) f += 1 } END { printf "%d %d %d %d", s, n, r, f }' "${logs[@]}"
}
read -r fuzz_seconds fuzz_inputs fuzz_runs fuzz_findings <<<"$(fuzzing "$root/build-fuzz/runs.tsv")"
read -r kept_seconds kept_inputs kept_runs _ <<<"$(fuzzing "$root/tests/fuzz/runs.tsv")"
regressions=$(find "$root/tests/fuzz/regressions" -type f | wc -l)
damaged=$(count damaged)

cat <<SUMMARY
Hardening summary (plain, ASan + UBSan and TSan runs together)
  inputs tried           $(count inputs) hostile files, names and folder entries
  faults injected        $(count faults) (read-only and full disks, deleted folders, changed sources, cancels, kills)
  sanitizer runs         ASan + UBSan: $(tests asan); TSan: $(tests tsan)
  plain run              $(tests plain)
  fuzzing time           ${fuzz_seconds} s over ${fuzz_runs} runs here, ${fuzz_inputs} inputs; ${fuzz_findings} stopped by a finding
                         (on record: ${kept_seconds} s over ${kept_runs} runs, ${kept_inputs} inputs; ${regressions} findings kept as regression inputs)
  files checked          $(count checked) sources and outputs compared or decoded afterwards
  files lost or damaged  ${damaged}
SUMMARY
[ "$damaged" -eq 0 ]
