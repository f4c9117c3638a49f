#!/usr/bin/env bash
# Lossless JPEG XL and WebP (quality 1.0) against the codecs' own command
# lines, one process per conversion, on the bench photos. Markdown tables on
# stdout, progress on stderr.
#
#   bench/run-lossless-bench.sh [all|jpeg|png|efforts|threads]
#
#   jpeg     the JPEGs carried over into JPEG XL: ours against
#            `cjxl --lossless_jpeg=1` (bytes, CPU, peak memory; djxl must
#            rebuild our file's source byte for byte)
#   png      the PNGs: ours against `cjxl -d 0` and `cwebp -lossless` at our efforts
#   efforts  the savers' efforts through `vips` (PNGs) and cjxl's (JPEGs)
#   threads  one thread against two, through cjxl and `vips jxlsave`
#
# REPS (default 3) sets the repetitions (the median is shown); ours and the
# peer alternate, swapping who goes first each repetition. KRUMPLE_BENCH_BUILD
# is the build folder (KRUMPLE_BENCH_SKIP_BUILD=1: built already); the photos
# come from fetch-photos.sh.
set -euo pipefail

mode=${1:-all}
reps=${REPS:-3}
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need vips libvips-tools
need cjxl libjxl-tools
need djxl libjxl-tools
need cwebp webp
need cmake cmake
need ninja ninja-build

build_bench krumple-bench-engine
ours=$build/bench/krumple-bench-engine
launch=$build/bench/krumple-bench-launch

photos=$("$repo/bench/fetch-photos.sh")
mapfile -t jpegs < <(find "$photos" -type f -iname '*.jpg' | sort)
mapfile -t pngs < <(find "$photos" -type f -iname '*.png' | sort)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VIPS_CONCURRENCY=1

# run NAME CMD...: runs CMD through the launcher once and appends
# "<cpu ms> <wall ms> <peak KB>" to $work/NAME; fails on a non-zero exit.
run() {
    local name=$1
    shift
    local rc wall cpu rss
    read -r rc wall cpu rss < <("$launch" "$work/log" "$@")
    if [[ $rc != 0 ]]; then
        echo "failed ($rc): $*" >&2
        cat "$work/log" >&2
        exit 1
    fi
    echo "$cpu $wall $rss" >>"$work/$name"
}

# median NAME COLUMN: the median of a column (1 CPU ms, 2 wall ms, 3 peak KB).
median() {
    cut -d' ' -f"$2" "$work/$1" | sort -n | awk '{ v[NR] = $1 } END { printf "%.0f", v[int((NR + 1) / 2)] }'
}

# pair A B REPS -- CMD_A -- CMD_B: alternates A and B, swapping the order each repetition.
pair() {
    local a=$1 b=$2 n=$3
    shift 4
    local -a cmdA=() cmdB=()
    while [[ $1 != -- ]]; do cmdA+=("$1"); shift; done
    shift
    cmdB=("$@")
    rm -f "$work/$a" "$work/$b"
    for ((i = 0; i < n; i++)); do
        if ((i % 2 == 0)); then run "$a" "${cmdA[@]}"; run "$b" "${cmdB[@]}"
        else run "$b" "${cmdB[@]}"; run "$a" "${cmdA[@]}"; fi
    done
}

size() { stat -c %s "$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

jpeg_table() {
    echo "### JPEG → JPEG XL at quality 1.0: ours against \`cjxl --lossless_jpeg=1 --num_threads=0\` (effort 7 both)"
    echo
    echo "| photo | JPEG bytes | ours | cjxl | ours / JPEG | ours / cjxl | ours CPU ms | cjxl CPU ms | CPU ours / cjxl | ours peak MB | cjxl peak MB | rebuilt |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|"
    local tj=0 to=0 tp=0 co=0 cp=0
    for src in "${jpegs[@]}"; do
        local name
        name=$(basename "$src")
        echo "jpeg: $name" >&2
        rm -f "$work/ours.jxl"
        pair ours peer "$reps" -- "$ours" convert "$src" "$work/ours.jxl" jxl 1.0 \
            -- cjxl "$src" "$work/peer.jxl" --lossless_jpeg=1 --num_threads=0 -e 7
        djxl "$work/ours.jxl" "$work/rebuilt.jpg" >/dev/null 2>&1 || true
        local rebuilt=no
        cmp -s "$work/rebuilt.jpg" "$src" && rebuilt=exact
        rm -f "$work/rebuilt.jpg"
        local j o p mo mp
        j=$(size "$src"); o=$(size "$work/ours.jxl"); p=$(size "$work/peer.jxl")
        mo=$(median ours 1); mp=$(median peer 1)
        tj=$((tj + j)); to=$((to + o)); tp=$((tp + p)); co=$((co + mo)); cp=$((cp + mp))
        echo "| $name | $j | $o | $p | $(ratio "$o" "$j") | $(ratio "$o" "$p") | $mo | $mp | $(ratio "$mo" "$mp") |" \
             "$(($(median ours 3) / 1024)) | $(($(median peer 3) / 1024)) | $rebuilt |"
    done
    echo "| **all ${#jpegs[@]}** | $tj | $to | $tp | $(ratio "$to" "$tj") | $(ratio "$to" "$tp") | $co | $cp | $(ratio "$co" "$cp") | | | |"
    echo
}

png_table() {
    echo "### PNG → lossless JPEG XL and WebP at quality 1.0: ours against \`cjxl -d 0 -e 5 --num_threads=0\` and \`cwebp -lossless -m 4\`"
    echo
    echo "| photo | PNG bytes | JXL ours / cjxl bytes | JXL CPU ours / cjxl | JXL ours / PNG | WebP ours / cwebp bytes | WebP CPU ours / cwebp | WebP ours / PNG |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|"
    local tp=0 tjo=0 tjp=0 tjco=0 tjcp=0 two=0 twp=0 twco=0 twcp=0
    for src in "${pngs[@]}"; do
        local name
        name=$(basename "$src")
        echo "png: $name" >&2
        pair jo jp "$reps" -- "$ours" convert "$src" "$work/ours.jxl" jxl 1.0 \
            -- cjxl "$src" "$work/peer.jxl" -d 0 -e 5 --num_threads=0
        pair wo wp "$reps" -- "$ours" convert "$src" "$work/ours.webp" webp 1.0 \
            -- cwebp -quiet -lossless -m 4 -q 75 -metadata icc "$src" -o "$work/peer.webp"
        local s jo jp wo wp
        s=$(size "$src")
        jo=$(size "$work/ours.jxl"); jp=$(size "$work/peer.jxl"); wo=$(size "$work/ours.webp"); wp=$(size "$work/peer.webp")
        tp=$((tp + s)); tjo=$((tjo + jo)); tjp=$((tjp + jp)); two=$((two + wo)); twp=$((twp + wp))
        tjco=$((tjco + $(median jo 1))); tjcp=$((tjcp + $(median jp 1)))
        twco=$((twco + $(median wo 1))); twcp=$((twcp + $(median wp 1)))
        echo "| $name | $s | $(ratio "$jo" "$jp") | $(ratio "$(median jo 1)" "$(median jp 1)") | $(ratio "$jo" "$s") |" \
             "$(ratio "$wo" "$wp") | $(ratio "$(median wo 1)" "$(median wp 1)") | $(ratio "$wo" "$s") |"
    done
    echo "| **all ${#pngs[@]}** | $tp | $(ratio "$tjo" "$tjp") | $(ratio "$tjco" "$tjcp") | $(ratio "$tjo" "$tp") |" \
         "$(ratio "$two" "$twp") | $(ratio "$twco" "$twcp") | $(ratio "$two" "$tp") |"
    echo "| CPU s, all | | ours $((tjco / 1000)).$(((tjco % 1000) / 100)), cjxl $((tjcp / 1000)).$(((tjcp % 1000) / 100)) | | |" \
         "ours $((twco / 1000)).$(((twco % 1000) / 100)), cwebp $((twcp / 1000)).$(((twcp % 1000) / 100)) | | |"
    echo
}

# sweep TITLE BASELINE_LABEL LABEL=CMD-TEMPLATE...: totals over the files,
# each setting against the first; {in} and {out} are replaced per file.
sweep() {
    local title=$1
    shift
    local -n files=$1
    shift
    echo "### $title"
    echo
    echo "| setting | bytes | bytes / first | CPU s | CPU / first |"
    echo "|---|---:|---:|---:|---:|"
    local first_bytes='' first_cpu=''
    for setting in "$@"; do
        local label=${setting%%=*} template=${setting#*=} bytes=0 cpu=0
        echo "sweep: $label" >&2
        for src in "${files[@]}"; do
            local cmd=${template//\{in\}/$src}
            cmd=${cmd//\{out\}/$work/sweep.out}
            rm -f "$work/s"
            for ((i = 0; i < reps; i++)); do
                # shellcheck disable=SC2086  # the template is split into words on purpose
                run s $cmd
            done
            bytes=$((bytes + $(size "$work/sweep.out"))); cpu=$((cpu + $(median s 1)))
        done
        [[ -z $first_bytes ]] && { first_bytes=$bytes; first_cpu=$cpu; }
        echo "| $label | $bytes | $(ratio "$bytes" "$first_bytes") | $(ratio "$cpu" 1000) | $(ratio "$cpu" "$first_cpu") |"
    done
    echo
}

# threads: CPU and wall time totals, one thread against two.
threads_table() {
    echo "### One thread against two"
    echo
    echo "| encoder | CPU 2 threads / 1 | wall 2 threads / 1 |"
    echo "|---|---:|---:|"
    local kind
    for kind in jpeg png; do
        local c1=0 c2=0 w1=0 w2=0 list=("${jpegs[@]}")
        [[ $kind == png ]] && list=("${pngs[@]}")
        for src in "${list[@]}"; do
            echo "threads: $kind $(basename "$src")" >&2
            if [[ $kind == jpeg ]]; then
                pair one two "$reps" -- cjxl "$src" "$work/t.jxl" --lossless_jpeg=1 --num_threads=0 \
                    -- cjxl "$src" "$work/t.jxl" --lossless_jpeg=1 --num_threads=2
            else
                pair one two "$reps" -- env VIPS_CONCURRENCY=1 vips jxlsave "$src" "$work/t.jxl" --lossless --effort 5 \
                    -- env VIPS_CONCURRENCY=2 vips jxlsave "$src" "$work/t.jxl" --lossless --effort 5
            fi
            c1=$((c1 + $(median one 1))); c2=$((c2 + $(median two 1)))
            w1=$((w1 + $(median one 2))); w2=$((w2 + $(median two 2)))
        done
        local label="cjxl --lossless_jpeg=1, the JPEGs"
        [[ $kind == png ]] && label="vips jxlsave --lossless --effort 5, the PNGs"
        echo "| $label | $(ratio "$c2" "$c1") | $(ratio "$w2" "$w1") |"
    done
    echo
}

echo "# Lossless benchmark: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(vips --version), $(cjxl --version 2>&1 | head -1)"
echo "# load average at start: $(cut -d' ' -f1-3 /proc/loadavg); REPS=$reps"
echo
case $mode in
jpeg) jpeg_table ;;
png) png_table ;;
efforts)
    sweep "JPEG → JPEG XL, cjxl --lossless_jpeg=1 --num_threads=0 at each effort (the JPEGs)" jpegs \
        "effort 7=cjxl {in} {out} --lossless_jpeg=1 --num_threads=0 -e 7" \
        "effort 3=cjxl {in} {out} --lossless_jpeg=1 --num_threads=0 -e 3" \
        "effort 5=cjxl {in} {out} --lossless_jpeg=1 --num_threads=0 -e 5" \
        "effort 9=cjxl {in} {out} --lossless_jpeg=1 --num_threads=0 -e 9"
    sweep "PNG → lossless JPEG XL, vips jxlsave --lossless at each effort (the PNGs)" pngs \
        "effort 5=vips jxlsave {in} {out} --lossless --effort 5" \
        "effort 3=vips jxlsave {in} {out} --lossless --effort 3" \
        "effort 4=vips jxlsave {in} {out} --lossless --effort 4" \
        "effort 7=vips jxlsave {in} {out} --lossless --effort 7"
    sweep "PNG → lossless WebP, vips webpsave --lossless at each effort (the PNGs)" pngs \
        "effort 4=vips webpsave {in} {out} --lossless --effort 4" \
        "effort 2=vips webpsave {in} {out} --lossless --effort 2" \
        "effort 6=vips webpsave {in} {out} --lossless --effort 6"
    ;;
threads) threads_table ;;
all) jpeg_table; png_table ;;
*) echo "unknown mode $mode" >&2; exit 2 ;;
esac
