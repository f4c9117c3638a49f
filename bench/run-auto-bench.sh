#!/usr/bin/env bash
# Automatic quality against each photo's floor, over the photo set of
# bench/fetch-photo-set.sh (24 photos from three Debian wallpaper packages,
# 0.3 to 20 MP), one format at a time. Markdown table and summary on stdout,
# progress on stderr.
#
#   bench/run-auto-bench.sh [FORMAT|all [TARGET]]     (default: heic 1.6; all: the five lossy formats)
#
# Per photo: Auto's bytes, chosen quality, the distance it reported,
# butteraugli_main's 3-norm of the output and how far the two differ, Auto's
# CPU time against a conversion at the fixed 0.8, and the floor (the lowest
# whole percent meeting TARGET at full size, by bisection) with its bytes.
# Then Auto's bytes against the floor and against the one fixed quality
# meeting TARGET on every photo. Long: full-size Butteraugli runs about eight
# times a photo, several hours for all five formats on two cores.
set -euo pipefail

format=${1:-heic}
target=${2:-1.6}
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need butteraugli_main libjxl-devtools
need exiftool libimage-exiftool-perl
build_bench krumple-bench-auto
mapfile -t photos < <("$repo/bench/fetch-photo-set.sh")
formats=("$format")
[[ $format == all ]] && formats=(heic avif jxl webp jpeg)
for f in "${formats[@]}"; do
    "$build/bench/krumple-bench-auto" "$f" "$target" "${photos[@]}"
done
