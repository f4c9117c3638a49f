#!/usr/bin/env bash
# One command for the HEIC and AVIF sweep: today's heifsave path against
# libheif called directly. Builds the bench program if needed, fetches the
# photos if missing, prints Markdown tables on stdout and progress on stderr.
#
#   bench/run-heif-sweep.sh [all|heic|avif|heic-full|avif-full|check|heic-match|heic-match-full|heic-match-strict
#                            |engine|engine-full|cli]
#
# heic / avif: every setting × Q on the sweep photos shrunk to 1024 px wide,
# with Butteraugli; *-full: the deciding rows at full size, CPU and bytes
# only, median of REPS (default 3) runs;
# check: the Butteraugli API against butteraugli_main on one pair;
# heic-match: x265 options at the fast presets, each bisected for the crf
# (with a fraction, through ipratio) whose mean Butteraugli matches today's;
# heic-match-full: the same bisection at full size, then the matched points
# as median of REPS runs, with Butteraugli; heic-match-strict: bisection with
# every photo at most today's Butteraugli.
# engine / engine-full: the engine's HEIC and AVIF encoders against heifsave as
# the engine called it before (quality 0.8), CPU median of REPS runs, bytes,
# Butteraugli, peak memory, on the nine photos (and the five of heic-match) at
# 1024 px wide, or the nine at full size.
# cli: wall time of krumple-cli --format heic over the nine photos against
# PEER_CLI (a krumple-cli built from an earlier commit), alternating, REPS
# runs each, then the peak memory (/usr/bin/time -v) of both writing the
# largest photo as AVIF.
# KRUMPLE_BENCH_BUILD sets the build folder (KRUMPLE_BUILD_LOCK, if set, is
# held while building); the photos come from fetch-photos.sh (never the
# repository).
set -euo pipefail

mode=${1:-all}
reps=${REPS:-3}
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need cmake cmake
need ninja ninja-build
need butteraugli_main libjxl-devtools

if [[ ! -f $build/build.ninja ]]; then
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKRUMPLE_TESTS=OFF >&2
fi
${KRUMPLE_BUILD_LOCK:+flock "$KRUMPLE_BUILD_LOCK"} cmake --build "$build" -j2 --target krumple-bench-heif krumple-cli >&2
bench=$build/bench/krumple-bench-heif

m=$("$repo/bench/fetch-photos.sh")
sweep_photos=("$m/nature/Wood.jpg" "$m/nature/Storm.jpg" "$m/abstract/Elephants_3840x2160.jpg")
avif_photos=("$m/nature/Wood.jpg" "$m/nature/Storm.jpg" "$m/nature/LadyBird.jpg" "$m/abstract/Elephants_3840x2160.jpg")
match_photos=("${sweep_photos[@]}" "$m/nature/LadyBird.jpg" "$m/nature/Garden.jpg")
match_full_photos=("$m/nature/Wood.jpg" "$m/nature/Storm.jpg" "$m/nature/LadyBird.jpg" "$m/nature/Garden.jpg")
full_photos=("$m/nature/Wood.jpg" "$m/nature/Storm.jpg" "$m/nature/LadyBird.jpg" "$m/abstract/Elephants_5640x3172.jpg")
# nine photos and wallpapers, 28 MB
nine_photos=("$m/abstract/Elephants.jpg" "$m/abstract/Elephants_3840x2160.jpg" "$m/abstract/Elephants_5640x3172.jpg"
    "$m/nature/Wood.jpg" "$m/nature/Storm.jpg" "$m/nature/LadyBird.jpg" "$m/nature/Garden.jpg" "$m/nature/Aqua.jpg"
    "$m/desktop/GreenTraditional.jpg")

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
heic_match() {
    local m=(--max-width 1024 --set chroma=420 --match-crf 27.5,29.5 --steps 5)
    "$bench" sweep "${m[@]}" --axis tune=ssim --axis preset=veryfast,faster,medium --variant "" "${match_photos[@]}"
    "$bench" sweep "${m[@]}" --axis preset=fast --axis tune=ssim \
        --variant "" --variant "x265:wpp=0" --variant "x265:rd=1" --variant "tu-intra-depth=1" \
        --variant "x265:ctu=32" --variant "x265:rdoq-level=1" --variant "x265:rdoq-level=2" --variant "x265:sao=0" \
        --variant "x265:rd=1 tu-intra-depth=1 x265:wpp=0" "${match_photos[@]}"
    "$bench" sweep "${m[@]}" --axis preset=fast --axis tune=ssim \
        --variant "x265:aq-strength=0.8" --variant "x265:aq-strength=1.2" \
        --variant "x265:cbqpoffs=2 x265:crqpoffs=2" --variant "x265:rdoq-level=2 x265:psy-rdoq=1" \
        --variant "x265:aq-mode=1" "${match_photos[@]}"
    "$bench" sweep "${m[@]}" --axis preset=fast --axis tune=ssim \
        --variant "x265:aq-strength=0.6" --variant "x265:aq-strength=0.8 x265:wpp=0" \
        --variant "x265:aq-strength=0.8 x265:wpp=0 tu-intra-depth=1" \
        --variant "x265:aq-strength=0.6 x265:wpp=0 tu-intra-depth=1" "${match_photos[@]}"
    # ultrafast's saving is its 16 px smallest CU; its other cuts are undone here
    local u="x265:aq-strength=1 x265:signhide=1 x265:sao=1"
    "$bench" sweep "${m[@]}" --axis preset=ultrafast --axis tune=ssim \
        --variant "" --variant "$u" --variant "$u x265:rdoq-level=1" --variant "$u x265:rdoq-level=2" \
        --variant "$u x265:rdoq-level=2 x265:wpp=0" --variant "$u x265:rdoq-level=2 x265:ctu=64" "${match_photos[@]}"
    u="$u x265:rdoq-level=2 x265:wpp=0"
    "$bench" sweep "${m[@]}" --axis preset=ultrafast --axis tune=ssim \
        --variant "$u x265:aq-strength=0.8" --variant "$u x265:fast-intra=0" --variant "$u x265:rd=3" \
        --variant "$u tu-intra-depth=3" "${match_photos[@]}"
    u="preset=ultrafast $u tu-intra-depth=3"
    local f="preset=fast x265:aq-strength=0.8 x265:wpp=0 tu-intra-depth=1" v=(--variant "$u x265:aq-strength=0.8")
    for base in "$f" "$u"; do
        for x in "x265:deblock=-1:-1" "x265:deblock=1:1" "x265:cbqpoffs=-2 x265:crqpoffs=-2" "x265:qg-size=16" \
            "x265:aq-mode=4" "x265:strong-intra-smoothing=0"; do
            v+=(--variant "$base $x")
        done
    done
    "$bench" sweep "${m[@]}" --axis tune=ssim "${v[@]}" "${match_photos[@]}"
    f="preset=fast x265:wpp=0 tu-intra-depth=1"
    local c="x265:cbqpoffs=-2 x265:crqpoffs=-2"
    "$bench" sweep "${m[@]}" --axis tune=ssim --variant "$f x265:aq-mode=4" \
        --variant "$f x265:aq-mode=4 x265:aq-strength=0.8" --variant "$f x265:aq-mode=4 x265:aq-strength=0.8 $c" \
        --variant "$f x265:aq-mode=4 x265:aq-strength=0.6" --variant "$f x265:aq-mode=4 x265:aq-strength=0.8 x265:rd=1" \
        --variant "$u $c x265:aq-strength=0.8" --variant "$u x265:cbqpoffs=-4 x265:crqpoffs=-4" "${match_photos[@]}"
}
heic_match_full() {
    local a="preset=fast x265:wpp=0 tu-intra-depth=1 x265:aq-mode=4 x265:aq-strength=0.8"
    local v="preset=ultrafast x265:signhide=1 x265:sao=1 x265:rdoq-level=2 x265:wpp=0 tu-intra-depth=3"
    v="$v x265:cbqpoffs=-2 x265:crqpoffs=-2 x265:aq-strength=0.8"
    "$bench" sweep --max-width 0 --set chroma=420 --match-crf 27.5,28.75 --steps 4 --axis tune=ssim \
        --variant "preset=fast" --variant "$a" --variant "$v" "${match_full_photos[@]}"
    # the matched points above, median of REPS runs
    "$bench" sweep --max-width 0 --reps "$reps" --set chroma=420 --crf 27.890625,27.96875 --axis tune=ssim \
        --variant "$a" --variant "$v" "${match_full_photos[@]}"
    # 1024 px's best over the mean, bisected at full size with REPS runs per point
    local w="preset=ultrafast x265:aq-strength=1 x265:signhide=1 x265:sao=1 x265:rdoq-level=2 x265:wpp=0"
    w="$w tu-intra-depth=3 x265:cbqpoffs=-2 x265:crqpoffs=-2"
    "$bench" sweep --max-width 0 --reps "$reps" --set chroma=420 --match-crf 27.5,28.75 --steps 4 --axis tune=ssim \
        --variant "$w" "${match_full_photos[@]}"
    # the ultrafast candidate with the 18 MP photo added, one run per point
    "$bench" sweep --max-width 0 --set chroma=420 --match-crf 27.5,28.75 --steps 4 --axis tune=ssim \
        --variant "$v" "${match_full_photos[@]}" "$m/abstract/Elephants_5640x3172.jpg"
}
heic_match_strict() {
    local a="preset=fast x265:wpp=0 tu-intra-depth=1 x265:aq-mode=4 x265:aq-strength=0.8"
    local v="preset=ultrafast x265:signhide=1 x265:sao=1 x265:rdoq-level=2 x265:wpp=0 tu-intra-depth=3"
    v="$v x265:cbqpoffs=-2 x265:crqpoffs=-2 x265:aq-strength=0.8"
    "$bench" sweep --max-width 1024 --set chroma=420 --match-crf 26.5,28.5 --steps 5 --every-photo --axis tune=ssim \
        --variant "preset=fast" --variant "$a" --variant "$v" "${match_photos[@]}"
}
engine() {
    "$bench" sweep --engine --max-width 1024 --reps "$reps" "${nine_photos[@]}"
    "$bench" sweep --engine --max-width 1024 --reps "$reps" "${match_photos[@]}"
    "$bench" sweep --avif --engine --max-width 1024 --reps "$reps" "${nine_photos[@]}"
}
engine_full() {
    "$bench" sweep --engine --max-width 0 --reps "$reps" "${nine_photos[@]}"
    "$bench" sweep --avif --engine --max-width 0 --reps "$reps" "${nine_photos[@]}"
}
# Wall seconds of one run of "$@", the outputs going to a fresh folder.
wall() {
    local out=/tmp/krumple-bench-heif-cli
    rm -rf "$out" && mkdir -p "$out"
    local t0 t1
    t0=$(date +%s.%N)
    "$@" --out "$out" "${nine_photos[@]}" >/dev/null
    t1=$(date +%s.%N)
    echo "$t0 $t1" | awk '{printf "%.2f", $2 - $1}'
}
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
cli() {
    [[ -x ${PEER_CLI:-} ]] || { echo "set PEER_CLI to an earlier commit's krumple-cli" >&2; exit 2; }
    local ours=$build/cli/krumple-cli ours_s=() peer_s=()
    for ((r = 0; r < reps; r++)); do
        # who goes first alternates
        if ((r % 2)); then peer_s+=("$(wall "$PEER_CLI" --format heic)"); ours_s+=("$(wall "$ours" --format heic)")
        else ours_s+=("$(wall "$ours" --format heic)"); peer_s+=("$(wall "$PEER_CLI" --format heic)"); fi
        echo "rep $((r + 1)): ours ${ours_s[-1]} s, peer ${peer_s[-1]} s" >&2
    done
    local o p
    o=$(printf '%s\n' "${ours_s[@]}" | median)
    p=$(printf '%s\n' "${peer_s[@]}" | median)
    echo
    echo "krumple-cli --format heic, nine photos (28 MB), default jobs, median of $reps:"
    echo
    echo "| cli | wall s (median) | runs |"
    echo "|-----|----------------:|------|"
    echo "| this tree | $o | ${ours_s[*]} |"
    echo "| peer ($PEER_CLI) | $p | ${peer_s[*]} |"
    echo "| ratio | $(echo "$o $p" | awk '{printf "%.2f", $1 / $2}') | |"
    echo
    echo "Peak memory writing ${full_photos[3]##*/} as AVIF (--jobs 1, /usr/bin/time -v):"
    echo
    echo "| cli | max RSS MB | wall s |"
    echo "|-----|-----------:|-------:|"
    local out=/tmp/krumple-bench-heif-cli tool log=/tmp/krumple-bench-heif-cli.time
    for tool in "$ours" "$PEER_CLI"; do
        rm -rf "$out" && mkdir -p "$out"
        /usr/bin/time -v "$tool" --format avif --jobs 1 --out "$out" "${full_photos[3]}" >/dev/null 2>"$log"
        echo "| $tool | $(awk -F': ' '/Maximum resident/ {printf "%.1f", $2 / 1024}' "$log") |" \
            "$(awk -F': ' '/Elapsed \(wall/ {print $2}' "$log") |"
    done
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
    heic-match) heic_match ;;
    heic-match-full) heic_match_full ;;
    heic-match-strict) heic_match_strict ;;
    engine) engine ;;
    engine-full) engine_full ;;
    cli) cli ;;
    *) echo "unknown mode $mode" >&2; exit 2 ;;
esac
