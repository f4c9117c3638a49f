#!/usr/bin/env bash
# A file size cap ("At most N bytes") against one fixed quality on the bench
# photos (every JPEG of mate-backgrounds: 16 files, one photo among them at
# three sizes), one format at a time. Markdown table and summary on stdout,
# progress on stderr.
#
#   bench/run-size-bench.sh [FORMAT [CAP]]     (default: heic 150k; k and M: 1000 and 1000000)
#
# Per photo: the conversion at most CAP, its file checked on disk against CAP,
# the quality chosen, butteraugli_main's 3-norm at full size; the photo's bytes
# at the fixed 0.8 and at the lowest 5 %. Then the highest fixed quality at
# which every photo fits, and both outputs' distances and bytes. Exit status 1
# when an output breaks its cap. About 8 minutes for HEIC on two cores.
#
# Default caps: the first round figure above the largest photo's bytes at 5 %
# (Elephants_5640x3172: HEIC 134,316, WebP 538,984, JPEG 584,392), so that every
# photo can fit and one fixed quality fits them all.
set -euo pipefail

format=${1:-heic}
case $format in
    heic) default_cap=150k ;;
    webp | jpeg) default_cap=600k ;;
    *) default_cap= ;;
esac
cap=${2:-$default_cap}
[[ -n $cap ]] || { echo "no default cap for $format: give one" >&2; exit 2; }
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
on_photos krumple-bench-size "$format" "$cap"
