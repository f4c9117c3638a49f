#!/usr/bin/env bash
# One command for the window benchmark: builds krumple-bench-window if needed
# and runs it on a virtual screen. Prints a Markdown table on stdout.
#
#   bench/window/run-window-bench.sh [--files 10000] [--convert 200]
#
# KRUMPLE_BENCH_BUILD sets the build folder, KRUMPLE_BENCH_CACHE where the
# generated pictures are kept (never in the repository). The machine's load
# shows in the figures: other busy processes lengthen every gap.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${KRUMPLE_BENCH_BUILD:-$repo/build-bench}
command -v xvfb-run >/dev/null || { echo "missing xvfb-run: apt-get install xvfb xauth" >&2; exit 1; }

if [[ ! -f $build/build.ninja ]]; then
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKRUMPLE_TESTS=OFF >&2
fi
cmake --build "$build" -j2 --target krumple-bench-window >&2
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores" >&2
xvfb-run -a -s "-screen 0 1400x900x24" "$build/bench/window/krumple-bench-window" "$@"
