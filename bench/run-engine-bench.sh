#!/usr/bin/env bash
# One command for the conversion-engine benchmark: builds the bench program
# if needed, fetches the photos if missing, prints the tables (Markdown) on
# stdout and progress on stderr.
#
#   bench/run-engine-bench.sh [all|peers|formats|six|sweep|threads]
#
# (formats = six + sweep)
#
# REPS (default 5) sets the repetitions per measurement; KRUMPLE_BENCH_BUILD
# the build folder; KRUMPLE_BENCH_CACHE where the photos are kept (never in
# the repository).
set -euo pipefail

mode=${1:-all}
reps=${REPS:-5}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KRUMPLE_BENCH_BUILD:-$repo/build-bench}
cache=${KRUMPLE_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/krumple-bench}

need() {
    command -v "$1" >/dev/null || { echo "missing $1: apt-get install $2" >&2; exit 1; }
}
need vips libvips-tools
need heif-enc libheif-examples
need cmake cmake
need ninja ninja-build

if [[ ! -f $build/build.ninja ]]; then
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKRUMPLE_TESTS=OFF >&2
fi
cmake --build "$build" -j2 --target krumple-bench-engine >&2

# Debian's mate-backgrounds: camera JPEGs up to 5640 × 3172.
photos=$cache/root/usr/share/backgrounds/mate
if [[ ! -d $photos ]]; then
    mkdir -p "$cache"
    (
        cd "$cache"
        rm -f mate-backgrounds_*.deb
        if ! apt-get download mate-backgrounds >&2; then
            echo "apt-get download failed; run apt-get update first" >&2
            exit 1
        fi
        dpkg -x mate-backgrounds_*.deb root
    )
fi
mapfile -t jpegs < <(find "$photos" -type f -iname '*.jpg' | sort)
if ((${#jpegs[@]} == 0)); then
    echo "no JPEGs under $photos" >&2
    exit 1
fi

echo "# Krumple engine benchmark: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(vips --version)"
echo "# load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
"$build/bench/krumple-bench-engine" "$mode" --reps "$reps" "${jpegs[@]}"
