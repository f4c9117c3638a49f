#!/usr/bin/env bash
# One command for the command-line batch benchmark: builds krumple-cli and the
# bench program if needed, fetches the photos if missing, prints the tables
# (Markdown) on stdout and progress on stderr.
#
#   bench/run-batch-bench.sh [all|convert|add]
#
# REPS (default 3) sets the repetitions; FILES (default 10000) the size of the
# tree for the adding benchmark; QUIET_WAIT (seconds, default 0) how long to
# wait for the load average to drop below half the cores before starting;
# KRUMPLE_BENCH_BATCH_BUILD the build folder; KRUMPLE_BENCH_CACHE where the
# photos are kept.
set -euo pipefail

mode=${1:-all}
reps=${REPS:-3}
files=${FILES:-10000}
quiet_wait=${QUIET_WAIT:-0}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
build=${KRUMPLE_BENCH_BATCH_BUILD:-$repo/build-bench-batch}

need() {
    command -v "$1" >/dev/null || { echo "missing $1: apt-get install $2" >&2; exit 1; }
}
need vips libvips-tools
need vipsheader libvips-tools
need xargs findutils
need cmake cmake
need ninja ninja-build
# The packaged ImageMagick itself, not whatever else answers to "convert" on PATH.
convert=/usr/bin/convert
if [[ ! -x $convert ]]; then
    need convert imagemagick
    convert=$(command -v convert)
fi

if [[ ! -f $build/build.ninja ]]; then
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKRUMPLE_TESTS=OFF >&2
fi
cmake --build "$build" -j2 --target krumple-cli krumple-bench-batch >&2

photos=$("$here/fetch-photos.sh")
mapfile -t jpegs < <(find "$photos" -type f -iname '*.jpg' | sort)
if ((${#jpegs[@]} == 0)); then
    echo "no JPEGs under $photos" >&2
    exit 1
fi

cores=$(nproc)
load() { cut -d' ' -f1 /proc/loadavg; }
busy() { awk -v l="$(load)" -v c="$cores" 'BEGIN { exit !(l > c / 2) }'; }
waited=0
while busy && ((waited < quiet_wait)); do
    echo "load average $(load) on $cores cores; waiting for it to drop ($waited/$quiet_wait s)" >&2
    sleep 15
    waited=$((waited + 15))
done

echo "# Krumple batch benchmark: $(date -u '+%Y-%m-%d %H:%M UTC'), $cores cores, $(vips --version), $("$convert" -version | head -1 | cut -d' ' -f2-4)"
echo "# load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
if busy; then
    echo
    echo "> The machine was busy (load average $(load) on $cores cores): these figures are noisy."
fi
echo
"$build/bench/krumple-bench-batch" "$mode" --cli "$build/cli/krumple-cli" --convert "$convert" --reps "$reps" \
    --files "$files" "${jpegs[@]}"
