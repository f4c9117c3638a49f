#!/usr/bin/env bash
# PNG and JPEG bytes against the optimisers. Markdown tables on stdout,
# progress on stderr.
#
#   bench/run-png-bench.sh [png|jpeg|all]
#
#   png   the pictures of make-graphics-set.sh, each converted to PNG by
#         krumple-cli (one process a file), against `optipng -o2` on the same
#         source and against libvips' pngsave with the settings used before
#         (compression 2, every filter): bytes, CPU (user + system), and
#         whether the pixels are the source's (`compare -metric AE` gives 0)
#   jpeg  the bench photos' JPEGs converted to JPEG at the default quality,
#         against the same coefficients written baseline with standard
#         tables (`jpegtran`, which is what the settings before wrote) and
#         against `jpegtran -optimize -progressive` of that baseline file
#
# KRUMPLE_BENCH_BUILD is the build folder (KRUMPLE_BENCH_SKIP_BUILD=1: built already).
set -euo pipefail

mode=${1:-all}
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need optipng optipng
need jpegtran libjpeg-turbo-progs
need compare imagemagick
need vips libvips-tools
build_bench krumple-cli
cli=$build/cli/krumple-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpu() {  # COMMAND...: its user + system CPU seconds, the command's output discarded
    /usr/bin/time -f "%U %S" -o "$work/time" "$@" >/dev/null 2>&1
    awk '{printf "%.2f", $1 + $2}' "$work/time"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

if [[ $mode == png || $mode == all ]]; then
    set_dir=$("$repo/bench/make-graphics-set.sh")
    echo "| picture | pixels, kind | ours (bytes) | optipng -o2 | ours / optipng | before | ours / before | CPU ours (s) | CPU optipng (s) | pixels same |"
    echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---|"
    sum_ours=0 sum_opt=0 cpu_ours=0 cpu_opt=0 worst=0
    for source in "$set_dir"/*.png; do
        name=$(basename "$source")
        echo "png: $name" >&2
        t_ours=$(cpu "$cli" --format png --jobs 1 --out "$work/ours" "$source")
        t_opt=$(cpu optipng -quiet -o2 -out "$work/opt-$name" "$source")
        vips copy "$source" "$work/before-$name[compression=2,filter=all]"
        ours=$(stat -c %s "$work/ours/$name")
        opt=$(stat -c %s "$work/opt-$name")
        before=$(stat -c %s "$work/before-$name")
        same=$(compare -metric AE "$source" "$work/ours/$name" null: 2>&1 || true)
        kind=$(file -b "$work/ours/$name" | cut -d, -f2-3 | sed 's/^ //')
        echo "| $name | $kind | $ours | $opt | $(ratio "$ours" "$opt") | $before | $(ratio "$ours" "$before") | $t_ours | $t_opt | $([[ $same == 0 ]] && echo yes || echo "NO ($same)") |"
        sum_ours=$((sum_ours + ours)) sum_opt=$((sum_opt + opt))
        cpu_ours=$(awk -v a="$cpu_ours" -v b="$t_ours" 'BEGIN { print a + b }')
        cpu_opt=$(awk -v a="$cpu_opt" -v b="$t_opt" 'BEGIN { print a + b }')
        worst=$(awk -v w="$worst" -v r="$(ratio "$ours" "$opt")" 'BEGIN { print (r > w ? r : w) }')
    done
    echo
    echo "All: $sum_ours bytes against optipng's $sum_opt ($(ratio "$sum_ours" "$sum_opt") ×), at most $worst × a picture; CPU $cpu_ours s against $cpu_opt s ($(ratio "$cpu_ours" "$cpu_opt") ×)."
    echo
fi

if [[ $mode == jpeg || $mode == all ]]; then
    photos=$("$repo/bench/fetch-photos.sh")
    echo "| photo | ours (bytes) | before: baseline (bytes) | ours / before | jpegtran -optimize -progressive | ours / jpegtran | pixels same |"
    echo "|---|---:|---:|---:|---:|---:|---|"
    sum_ours=0 sum_before=0 sum_tran=0
    for source in "$photos"/nature/*.jpg "$photos"/abstract/Elephants_5640x3172.jpg; do
        name=$(basename "$source")
        echo "jpeg: $name" >&2
        "$cli" --format jpeg --jobs 1 --out "$work/jpeg" "$source" >/dev/null 2>&1
        ours=$work/jpeg/$name
        jpegtran -copy all "$ours" >"$work/before.jpg"
        jpegtran -copy all -optimize -progressive "$work/before.jpg" >"$work/tran.jpg"
        same=$(compare -metric AE "$ours" "$work/before.jpg" null: 2>&1 || true)
        a=$(stat -c %s "$ours") b=$(stat -c %s "$work/before.jpg") c=$(stat -c %s "$work/tran.jpg")
        echo "| $name | $a | $b | $(ratio "$a" "$b") | $c | $(ratio "$a" "$c") | $([[ $same == 0 ]] && echo yes || echo "NO ($same)") |"
        sum_ours=$((sum_ours + a)) sum_before=$((sum_before + b)) sum_tran=$((sum_tran + c))
    done
    echo
    echo "All: $(ratio "$sum_ours" "$sum_before") × the bytes before, $(ratio "$sum_ours" "$sum_tran") × jpegtran's."
fi
