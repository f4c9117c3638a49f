#!/usr/bin/env bash
# Automatic quality against fixed quality on the bench photos (every JPEG of
# mate-backgrounds: 16 files, one photo among them at three sizes), one format
# at a time. Markdown table and summary on stdout, progress on stderr.
#
#   bench/run-auto-bench.sh [FORMAT [TARGET]]     (default: heic 1.6)
#
# Per photo: Auto's bytes, chosen quality, the distance its search measured,
# butteraugli_main's 3-norm of the output at full size, Auto's CPU time
# against a conversion at the fixed 0.8; and the lowest fixed quality meeting
# TARGET at full size. Then the one fixed quality meeting TARGET on every
# photo, and Auto's bytes against the set at it. Long: full-size Butteraugli
# runs about seven times a photo (about 17 minutes for HEIC on two cores).
set -euo pipefail

format=${1:-heic}
target=${2:-1.6}
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
on_photos krumple-bench-auto "$format" "$target"
