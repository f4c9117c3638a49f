#!/usr/bin/env bash
# One command for the conversion-engine benchmark: builds the bench program
# if needed, fetches the photos if missing, prints the tables (Markdown) on
# stdout and progress on stderr.
#
#   bench/run-engine-bench.sh [all|peers|formats|six|sweep|threads]
#
# (formats = six + sweep)
#
# REPS (default 5) sets the repetitions per measurement, KRUMPLE_BENCH_BUILD
# the build folder; the photos come from fetch-photos.sh (KRUMPLE_BENCH_CACHE,
# never the repository).
set -euo pipefail

mode=${1:-all}
reps=${REPS:-5}
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need vips libvips-tools
need heif-enc libheif-examples
need cmake cmake
need ninja ninja-build

if [[ ! -f $build/build.ninja ]]; then
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKRUMPLE_TESTS=OFF >&2
fi
cmake --build "$build" -j2 --target krumple-bench-engine >&2

photos=$("$repo/bench/fetch-photos.sh")
mapfile -t jpegs < <(find "$photos" -type f -iname '*.jpg' | sort)
if ((${#jpegs[@]} == 0)); then
    echo "no JPEGs under $photos" >&2
    exit 1
fi

echo "# Krumple engine benchmark: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(vips --version)"
echo "# load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
"$build/bench/krumple-bench-engine" "$mode" --reps "$reps" "${jpegs[@]}"
