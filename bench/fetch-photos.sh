#!/usr/bin/env bash
# Prints the folder of benchmark photos, fetching them first if missing:
# Debian's mate-backgrounds, camera JPEGs up to 5640 × 3172, unpacked into
# KRUMPLE_BENCH_CACHE (never into the repository). Progress goes to stderr.
set -euo pipefail

cache=${KRUMPLE_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/krumple-bench}
photos=$cache/root/usr/share/backgrounds/mate
if [[ ! -d $photos ]]; then
    mkdir -p "$cache"
    cd "$cache"
    rm -f mate-backgrounds_*.deb
    if ! apt-get download mate-backgrounds >&2; then
        echo "apt-get download failed; run apt-get update first" >&2
        exit 1
    fi
    dpkg -x mate-backgrounds_*.deb root
fi
echo "$photos"
