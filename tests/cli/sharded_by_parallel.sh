#!/usr/bin/env bash
# One list of files spread by GNU parallel over several krumple-cli processes,
# as the README does over several machines: every file converted exactly once,
# one JSON line each. Once with a line a path, once NUL-ended (names holding a
# newline or a byte that isn't UTF-8 included).
# Usage: sharded_by_parallel.sh KRUMPLE_CLI
set -euo pipefail
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work  # for parallel's will-cite mark, nowhere else
mkdir -p "$HOME/.parallel" && touch "$HOME/.parallel/will-cite"

src=$work/photos
mkdir -p "$src/with space" "$src/plain"
for i in $(seq 1 24); do
  case $((i % 4)) in
    0) name="$src/with space/photo $i.png" ;;
    1) name="$src/plain/img$i.png" ;;
    2) name="$src/plain/line"$'\n'"break $i.png" ;;
    3) name="$src/plain/caf"$'\xe9'" $i.png" ;;
  esac
  vips black "$name" 32 24 --bands 3
done

fail() { echo "FAIL: $*" >&2; exit 1; }

# run NAME SEPARATOR FIND-TESTS...: converts the files find lists, 3 processes
# at once, 4 paths each, and checks the result.
run() {
  local label=$1 sep=$2; shift 2
  local out=$work/out-$label list=$work/list-$label json=$work/json-$label
  if [ "$sep" = nul ]; then
    find "$src" -type f "$@" -print0 > "$list"
  else
    find "$src" -type f "$@" -print > "$list"
  fi
  local started=$SECONDS
  # The shape the README gives, less -S: --pipe cuts the list at record ends.
  local shape=(--pipe -N 4 -j 3 --halt now,fail=1 --joblog "$work/joblog-$label")
  local null=()
  if [ "$sep" = nul ]; then shape+=(--recend '\0'); null=(--null); fi
  parallel "${shape[@]}" "$cli" --files-from - "${null[@]}" --json --format jpeg --out "$out" < "$list" > "$json" \
    || fail "$label: parallel failed"

  # Each listed name once in the JSON lines, as jq reads both (U+FFFD for the
  # byte that isn't UTF-8 on either side).
  local split='split("\n")'
  [ "$sep" = nul ] && split='split("\u0000")'
  local listed converted
  listed=$(jq -Rsc "$split | map(select(length > 0)) | sort" < "$list")
  converted=$(jq -sc 'map(.source) | sort' < "$json")
  [ "$listed" = "$converted" ] || fail "$label: sources differ: $listed vs $converted"
  local files lines
  files=$(jq -r 'length' <<< "$listed")
  lines=$(wc -l < "$json")
  [ "$lines" -eq "$files" ] || fail "$label: $lines JSON lines for $files files"
  [ "$(jq -rs 'map(.status) | unique | join(",")' < "$json")" = done ] || fail "$label: not all done"
  [ "$(jq -rs 'map(.output) | unique | length' < "$json")" -eq "$files" ] || fail "$label: outputs shared"
  [ "$(find "$out" -type f -printf x | wc -c)" -eq "$files" ] || fail "$label: not one output a file"
  local shards=$(( (files + 3) / 4 )) processes
  processes=$(($(wc -l < "$work/joblog-$label") - 1))  # below its heading
  [ "$processes" -eq "$shards" ] || fail "$label: $processes processes for $shards shards"
  echo "$label: $files files in $processes processes of at most 4 paths, 3 processes at once, $((SECONDS - started)) s"
}

run lines line ! -name $'*\n*'
run nul nul
