#!/usr/bin/env bash
# One command for the HEIC and AVIF sweep: today's heifsave path against
# libheif called directly. Builds the bench program if needed, fetches the
# photos if missing, prints Markdown tables on stdout and progress on stderr.
#
#   bench/run-heif-sweep.sh [all|heic|avif|heic-full|avif-full|check]
#
# heic / avif: every setting × Q on the sweep photos shrunk to 1024 px wide,
# with Butteraugli; *-full: the deciding rows at full size, CPU and bytes
# only, median of REPS (default 3) runs;
# check: the Butteraugli API against butteraugli_main on one pair.
# KRUMPLE_BENCH_BUILD sets the build folder; the photos come from
# fetch-photos.sh (never the repository).
set -euo pipefail

mode=${1:-all}
reps=${REPS:-3}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KRUMPLE_BENCH_BUILD:-$repo/build-bench}

need() {
    command -v "$1" >/dev/null || { echo "missing $1: apt-get install $2" >&2; exit 1; }
}
need cmake cmake
need ninja ninja-build
need butteraugli_main libjxl-devtools

if [[ ! -f $build/build.ninja ]]; then
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKRUMPLE_TESTS=OFF >&2
fi
cmake --build "$build" -j2 --target krumple-bench-heif >&2
bench=$build/bench/krumple-bench-heif

m=$("$repo/bench/fetch-photos.sh")
sweep_photos=("$m/nature/Wood.jpg" "$m/nature/Storm.jpg" "$m/abstract/Elephants_3840x2160.jpg")
avif_photos=("$m/nature/Wood.jpg" "$m/nature/Storm.jpg" "$m/nature/LadyBird.jpg" "$m/abstract/Elephants_3840x2160.jpg")
full_photos=("$m/nature/Wood.jpg" "$m/nature/Storm.jpg" "$m/nature/LadyBird.jpg" "$m/abstract/Elephants_5640x3172.jpg")

heic() {
    "$bench" sweep --max-width 1024 --set chroma=420 --q 42,44,46,48,50 \
        --axis preset=ultrafast,superfast,veryfast,faster,fast,medium,slow --axis tune=ssim "${sweep_photos[@]}"
    "$bench" sweep --max-width 1024 --set chroma=420 --q 44,48 \
        --axis preset=ultrafast,veryfast,medium,slow --axis tune=psnr,grain,fastdecode "${sweep_photos[@]}"
}
heic_full() {
    "$bench" sweep --max-width 0 --reps "$reps" --no-butteraugli --set chroma=420 --q 44,46,48 \
        --axis preset=faster,fast,medium --axis tune=ssim "${full_photos[@]}"
}
avif() {
    "$bench" sweep --avif --max-width 1024 --set chroma=420 --q 55,59,63,67,71 \
        --axis speed=6,7,8,9 --axis tune=ssim,psnr "${avif_photos[@]}"
}
avif_full() {
    "$bench" sweep --avif --max-width 0 --reps "$reps" --no-butteraugli --set chroma=420 --q 63,67 \
        --axis speed=6,7,8,9 --axis tune=ssim "${full_photos[@]}"
}
check() {
    local work=/tmp/krumple-bench-heif-check
    "$bench" sweep --work "$work" --max-width 1024 --q 44 --axis preset=medium "${sweep_photos[0]}" >/dev/null
    "$bench" check "$work/source0.ppm" "$work/out.heif" "$work/decoded.ppm"
    butteraugli_main "$work/source0.ppm" "$work/decoded.ppm" 2>/dev/null | grep 3-norm
}

echo "# Krumple HEIF sweep: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, libheif $(pkg-config --modversion libheif)"
echo "# load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
case $mode in
    all) check; heic; avif; heic_full; avif_full ;;
    heic) heic ;;
    avif) avif ;;
    heic-full) heic_full ;;
    avif-full) avif_full ;;
    check) check ;;
    *) echo "unknown mode $mode" >&2; exit 2 ;;
esac
