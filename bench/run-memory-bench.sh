#!/usr/bin/env bash
# Peak memory of one conversion against its pixel count, per output format,
# quality and source depth: what the batch runner needs to admit jobs by memory.
# Each point is one `krumple-cli --jobs 1` process on a photo of about 1–72 MP,
# and beside it `vips copy` (libvips' own tool) on the same picture with the
# same saver settings. Peak memory is the process's ru_maxrss (wait4, through
# /usr/bin/time). Prints Markdown on stdout (raw points, then per setting
# peak ≈ base + k × pixels, raised until every point is ≥ 10 % under it, and
# the same as C++ constants); progress on stderr.
#
#   bench/run-memory-bench.sh [SETTING...]    # FORMAT:QUALITY:DEPTH, e.g. jxl:1.0:8 heic:0.8:16; default all
#   bench/run-memory-bench.sh jpeg:0.8:8:difference ...  # the same with --difference: the
#                                                        # job's peak, conversion or measure
#
# SIZES (default "1 4 16 36 72") megapixels of the 8-bit sources, DEEP_SIZES
# (default "1 4 16 36") of the 16-bit ones, of the 8-bit PNGs (DEPTH 8png:
# the same pixels as the JPEG, for JPEG XL at 1.0 without a JPEG to carry over)
# and of the grainy JPEGs (DEPTH 8grain); LIMIT (default 300) seconds after
# which a run is stopped and its point left out; KRUMPLE_CLI (default
# build/cli/krumple-cli; copied first, so a rebuild meanwhile cannot mix
# versions); KRUMPLE_MEMORY_WORK (default /tmp/krumple-memory-bench) keeps the
# pictures between runs; POINTS (default WORK/points.tsv) collects the points,
# appended to, so an interrupted run resumes where it stopped; FIT_ONLY=1 only
# prints the tables from POINTS.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
work=${KRUMPLE_MEMORY_WORK:-/tmp/krumple-memory-bench}
points=${POINTS:-$work/points.tsv}
sizes=${SIZES:-1 4 16 36 72}
deep_sizes=${DEEP_SIZES:-1 4 16 36}
limit=${LIMIT:-300}
cli_source=${KRUMPLE_CLI:-$repo/build/cli/krumple-cli}

# Jobs that run longest go last: whatever is cut short is the big HEIC and AVIF.
all_settings=(jxl:0.8:8 jxl:1.0:8 webp:0.8:8 webp:1.0:8 jpeg:0.8:8 jpeg:1.0:8 png:0.8:8
              heic:0.8:8 heic:1.0:8 avif:0.8:8 avif:1.0:8
              jxl:1.0:8png jxl:0.8:16 jxl:1.0:16 png:0.8:16 heic:0.8:16 heic:1.0:16 avif:0.8:16 avif:1.0:16)
settings=("$@")
((${#settings[@]})) || settings=("${all_settings[@]}")

# libvips' saver options for what the engine writes at that quality
# (engine/encoder.cpp's Q tables; efforts from the encoders).
peer_options() {
    local format=$1 quality=$2 depth=$3
    case $format:$quality in
    heic:0.8) echo "Q=44" ;;
    heic:1.0) echo "Q=100" ;;
    avif:0.8) echo "Q=63,effort=3" ;;
    avif:1.0) echo "Q=100,effort=3" ;;
    jxl:0.8) echo "Q=79,effort=5" ;;
    jxl:1.0) echo "lossless,effort=5" ;;
    webp:0.8) echo "Q=81,effort=4" ;;
    webp:1.0) echo "lossless,effort=4" ;;
    jpeg:0.8) echo "Q=80" ;;
    jpeg:1.0) echo "Q=100" ;;
    png:*) echo "compression=2,filter=all" ;;
    *) echo "no peer for $format:$quality" >&2; exit 1 ;;
    esac
    # The engine stores deep HEIC in 10 bits and deep AVIF in 12.
    if [[ $depth == 16 && $format == heic ]]; then echo ",bitdepth=10"; fi
    if [[ $depth == 16 && $format == avif ]]; then echo ",bitdepth=12"; fi
}

fit() {
    # Least squares per setting over the points ours finished, both terms
    # raised by 10 % (base clamped at ≥ 0), then k raised further until
    # base + k × MP ≥ 1.1 × every peak. Raising k alone would let the small
    # pictures (a process costs ~60 MB before any pixel) set the slope.
    awk -F'\t' '
    # The measure is not one line (whole up to 1 MP, then tiles): those points
    # are checked against the engine'"'"'s estimate in bench/README.md instead.
    $1 == "setting" || $1 ~ /:difference$/ || $5 !~ /^[0-9]+$/ { next }
    { s = $1; mp = $3 / 1e6; mb = $5 * 1024 / 1e6
      n[s]++; sx[s] += mp; sy[s] += mb; sxx[s] += mp * mp; sxy[s] += mp * mb
      i = n[s]; x[s, i] = mp; y[s, i] = mb
      if (!(s in order)) { order[s] = ++count; names[count] = s } }
    END {
      print "| setting | points | least squares: base MB + MB/MP | fitted: base MB | fitted: MB per MP (= bytes per pixel) | largest point: peak / line |"
      print "|---|---:|---|---:|---:|---:|"
      for (c = 1; c <= count; c++) {
        s = names[c]; m = n[s]
        d = m * sxx[s] - sx[s] * sx[s]
        k = d > 0 ? (m * sxy[s] - sx[s] * sy[s]) / d : 0
        b = (sy[s] - k * sx[s]) / m
        base = b > 0 ? 1.1 * b : 0; kk = 1.1 * k
        for (i = 1; i <= m; i++) { need = (1.1 * y[s, i] - base) / x[s, i]; if (need > kk) kk = need }
        kk = int(kk * 100 + 0.999) / 100; base = int(base + 0.999)
        wi = 1
        for (i = 1; i <= m; i++) if (x[s, i] > x[s, wi]) wi = i
        fitted[s] = base; slope[s] = kk
        printf "| %s | %d | %.0f + %.2f | %d | %.2f | %.2f |\n", s, m, b, k, base, kk, y[s, wi] / (base + kk * x[s, wi])
      }
      print ""
      print "```c++"
      print "// peak RSS of one conversion ≈ base + bytesPerPixel × output pixels (bench/run-memory-bench.sh)"
      for (c = 1; c <= count; c++) {
        s = names[c]; split(s, p, ":")
        note = p[1] == "jxl" && p[2] == "1.0" ? (p[3] == "8" ? " (a JPEG carried over)" : " (lossless from pixels)") : ""
        printf "{OutputFormat::%s, %s, %2d, %10d, %6.2f},  // %s%s\n", p[1], p[2], p[3] + 0, fitted[s] * 1e6, slope[s], s, note
      }
      print "```"
    }' "$points"
}

print_points() {
    echo "| setting | MP | size | ours peak MB | ours s | ours bytes | vips peak MB | vips s | ours / vips |"
    echo "|---|---:|---|---:|---:|---:|---:|---:|---:|"
    awk -F'\t' '$1 != "setting" {
        ours = $5 ~ /^[0-9]+$/ ? sprintf("%.0f", $5 * 1024 / 1e6) : $5
        peer = $8 ~ /^[0-9]+$/ ? sprintf("%.0f", $8 * 1024 / 1e6) : $8
        ratio = ($5 ~ /^[0-9]+$/ && $8 ~ /^[0-9]+$/) ? sprintf("%.2f", $5 / $8) : "–"
        printf "| %s | %.1f | %s | %s | %s | %s | %s | %s | %s |\n", $1, $3 / 1e6, $4, ours, $6, $7, peer, $9, ratio
    }' "$points"
}

if [[ ${FIT_ONLY:-0} == 1 ]]; then
    print_points
    echo
    fit
    exit 0
fi

for tool in vips vipsheader /usr/bin/time timeout awk; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done
mkdir -p "$work/src" "$work/out"
cli=$work/krumple-cli
cp "$cli_source" "$cli"

photos=$("$here/fetch-photos.sh")
photo=$(find "$photos" -name Elephants_5640x3172.jpg | head -1)
[[ -n $photo ]] || { echo "Elephants_5640x3172.jpg not found under $photos" >&2; exit 1; }
photo_mp=$((5640 * 3172))

# The photo resized to about MP megapixels: JPEG Q 92, and 16-bit PNG made
# from 16-bit samples (resized after widening, so the deep picture has real
# in-between levels, not 8-bit values times 257).
source_for() {
    local mp=$1 depth=$2 scale
    scale=$(awk -v m="$mp" -v p="$photo_mp" 'BEGIN { printf "%.6f", sqrt(m * 1e6 / p) }')
    if [[ $depth == 8 ]]; then
        local f=$work/src/photo-${mp}mp.jpg
        [[ -f $f ]] || vips resize "$photo" "$f[Q=92]" "$scale" >&2
    elif [[ $depth == 8grain ]]; then
        # The same with grain as a high-ISO photo has (Gaussian, σ 12 levels):
        # encoders that keep what they code in memory need more for detail.
        local f=$work/src/photo-${mp}mp-grain.jpg
        if [[ ! -f $f ]]; then
            local plain w h
            plain=$(source_for "$mp" 8)
            w=$(vipsheader -f width "$plain") h=$(vipsheader -f height "$plain")
            vips gaussnoise "$work/src/noise.v" "$w" "$h" --sigma 12 --mean 0 >&2
            vips bandjoin "$work/src/noise.v $work/src/noise.v $work/src/noise.v" "$work/src/noise3.v" >&2
            vips add "$plain" "$work/src/noise3.v" "$work/src/grain.v" >&2
            vips cast "$work/src/grain.v" "$f[Q=92]" uchar >&2
            rm -f "$work/src/noise.v" "$work/src/noise3.v" "$work/src/grain.v"
        fi
    elif [[ $depth == 8png ]]; then
        # The same pixels from a PNG: JPEG XL at 1.0 encodes them losslessly instead of carrying a JPEG over.
        local f=$work/src/photo-${mp}mp.png
        [[ -f $f ]] || vips copy "$(source_for "$mp" 8)" "$f[compression=1]" >&2
    else
        local f=$work/src/photo-${mp}mp-16bit.png
        if [[ ! -f $f ]]; then
            vips colourspace "$photo" "$work/src/wide.v" rgb16 >&2
            vips resize "$work/src/wide.v" "$f[compression=1]" "$scale" >&2
            rm -f "$work/src/wide.v"
        fi
    fi
    echo "$f"
}

# Runs a command under the time limit; prints "peakKB<TAB>seconds" or "timeout"/"failed".
measure() {
    local stats=$work/time.txt status
    status=0
    /usr/bin/time -o "$stats" -f "%M %e" timeout "$limit" "$@" >"$work/log.txt" 2>&1 || status=$?
    if ((status == 124)); then printf 'timeout\t>%s' "$limit"; return; fi
    if ((status != 0)); then printf 'failed\t%s' "$(tail -c 200 "$work/log.txt" | tr '\t\n' '  ')"; return; fi
    tail -1 "$stats" | awk '{ printf "%s\t%s", $1, $2 }'
}

[[ -f $points ]] || printf 'setting\tmp\tpixels\tsize\tours_kb\tours_s\tours_bytes\tvips_kb\tvips_s\n' >"$points"
echo "# Krumple memory per conversion: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(vips --version), krumple at $(git -C "$repo" rev-parse --short HEAD), cli built $(date -u -r "$cli_source" '+%Y-%m-%d %H:%M UTC')" >&2
echo "# load average at start: $(cut -d' ' -f1-3 /proc/loadavg)" >&2

for mp in $sizes; do
    for setting in "${settings[@]}"; do
        IFS=: read -r format quality depth extra <<<"$setting"
        measuring=()
        [[ $extra == difference ]] && measuring=(--difference)
        if [[ $depth != 8 && " $deep_sizes " != *" $mp "* ]]; then continue; fi
        if grep -q "^$setting"$'\t'"$mp"$'\t' "$points"; then continue; fi  # measured already
        src=$(source_for "$mp" "$depth")
        size=$(vipsheader -f width "$src")x$(vipsheader -f height "$src")
        pixels=$(( $(vipsheader -f width "$src") * $(vipsheader -f height "$src") ))

        rm -rf "$work/out" && mkdir -p "$work/out"
        echo "$setting at $mp MP ($size): ours" >&2
        ours=$(measure "$cli" --jobs 1 --format "$format" --quality "$quality" "${measuring[@]}" --out "$work/out" "$src")
        out=$(find "$work/out" -type f | head -1)
        ours_bytes=$([[ -n $out ]] && stat -c %s "$out" || echo 0)
        if [[ -n $out && $ours != timeout* && $ours != failed* ]]; then
            got=$(vipsheader -f width "$out")x$(vipsheader -f height "$out")
            [[ $got == "$size" ]] || { echo "ours wrote $got from $size" >&2; exit 1; }
        fi

        rm -rf "$work/out" && mkdir -p "$work/out"
        echo "$setting at $mp MP ($size): vips copy" >&2
        peer=$(VIPS_CONCURRENCY=1 measure vips copy "$src" "$work/out/peer.$format[$(peer_options "$format" "$quality" "$depth" | tr -d '\n')]")
        rm -rf "$work/out"

        printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$setting" "$mp" "$pixels" "$size" "$ours" "$ours_bytes" "$peer" >>"$points"
        tail -1 "$points" >&2
    done
done

print_points
echo
fit
