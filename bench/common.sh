# Sourced by the bench scripts: the checkout, the build folder and a check
# for the tools a script needs.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KRUMPLE_BENCH_BUILD:-$repo/build-bench}

# need COMMAND PACKAGE: stops with the package to install when COMMAND is missing.
need() {
    command -v "$1" >/dev/null || { echo "missing $1: apt-get install $2" >&2; exit 1; }
}

# build_bench TARGET...: builds the targets into $build (Release, no tests)
# unless KRUMPLE_BENCH_SKIP_BUILD says they are built already.
build_bench() {
    [[ -n ${KRUMPLE_BENCH_SKIP_BUILD:-} ]] && return
    if [[ ! -f $build/build.ninja ]]; then
        cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKRUMPLE_TESTS=OFF >&2
    fi
    cmake --build "$build" -j2 --target "$@" >&2
}

# on_photos PROGRAM ARG...: builds PROGRAM and runs it with the ARGs and then
# every JPEG of the bench photos (16 files), checked against butteraugli_main.
on_photos() {
    local program=$1
    shift
    need butteraugli_main libjxl-devtools
    need cmake cmake
    need ninja ninja-build
    build_bench "$program"
    local photos
    photos=$("$repo/bench/fetch-photos.sh")
    "$build/bench/$program" "$@" "$photos"/nature/*.jpg "$photos"/abstract/*.jpg "$photos"/desktop/*.jpg
}
