# Sourced by the bench scripts: the checkout, the build folder and a check
# for the tools a script needs.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KRUMPLE_BENCH_BUILD:-$repo/build-bench}

# need COMMAND PACKAGE: stops with the package to install when COMMAND is missing.
need() {
    command -v "$1" >/dev/null || { echo "missing $1: apt-get install $2" >&2; exit 1; }
}
