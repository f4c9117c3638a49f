#!/usr/bin/env bash
# Prints the folder of the PNG bench's pictures, making them first if
# missing (in KRUMPLE_BENCH_CACHE, never in the repository): screenshots of
# the window taken under Xvfb, a terminal, a chart, text, flat art, grey
# stored as RGB, a window with transparency, icons with alpha (Adwaita's)
# and two photos (from fetch-photos.sh) stored as PNG. Progress on stderr.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

cache=${KRUMPLE_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/krumple-bench}
set_dir=$cache/graphics
if [[ -f $set_dir/.complete ]]; then
    echo "$set_dir"
    exit 0
fi
need xvfb-run "xvfb xauth"
need import imagemagick
need convert imagemagick
need vips libvips-tools
build_bench krumple
photos=$("$repo/bench/fetch-photos.sh")
rm -rf "$set_dir"
mkdir -p "$set_dir"
cd "$set_dir"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
mono=/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf

# The window, empty and with a list, as the screen shows it.
shoot() {  # NAME ARG...: the window with ARGs, the whole screen
    local name=$1
    shift
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        "$0" "$@" & app=$!
        sleep 4
        import -window root "'"$set_dir/$name"'-screen.png"
        kill $app' "$build/app/krumple" "$@" >&2
}
shoot screen-empty
shoot screen-list "$photos"/desktop
for name in screen-empty screen-list; do  # the window, without the empty screen around it
    convert "$name-screen.png" -trim +repage PNG24:"$name.png"
    rm "$name-screen.png"
done

# A terminal: a listing in a monospaced font, light on dark.
# (Text goes in as an argument: Debian's ImageMagick policy refuses "@file".)
convert -size 1100x820 xc:'#1e1e1e' -font "$mono" -pointsize 14 -fill '#d4d4d4' \
    -annotate +8+18 "$(LC_ALL=C ls -l /usr/bin | head -45)" -depth 8 PNG24:terminal.png

# A bar chart with axes, grid and labels, antialiased.
args=()
for i in 0 1 2 3 4 5 6 7; do
    h=$(((i * 37 + 60) % 300 + 60))
    x=$((90 + i * 90))
    args+=(-fill "#4e79a7" -draw "rectangle $x,$((440 - h)) $((x + 60)),440")
    args+=(-fill black -annotate +$((x + 10))+465 "Q$((i % 4 + 1)) $((2019 + i / 4))")
done
convert -size 900x500 xc:white -stroke '#dddddd' \
    -draw "line 70,80 860,80" -draw "line 70,200 860,200" -draw "line 70,320 860,320" \
    -stroke black -draw "line 70,40 70,440" -draw "line 70,440 860,440" -stroke none \
    -font "$font" -pointsize 16 "${args[@]}" -pointsize 22 -annotate +300+30 "Sales by quarter" -depth 8 PNG24:chart.png

# Text: a page of prose, black on white.
prose=$(for i in $(seq 1 12); do
    echo "Krumple converts batches of pictures into smaller files. Line $i of a page of text that wraps."
done)
convert -size 1000x400 xc:white -font "$font" -pointsize 18 -fill black -annotate +20+30 "$prose" -depth 8 PNG24:text.png

# Flat art: shapes in a few flat colours, no antialiasing.
convert -size 800x600 xc:'#f4e9d8' +antialias \
    -fill '#e76f51' -draw "circle 200,200 200,80" \
    -fill '#2a9d8f' -draw "rectangle 380,100 700,380" \
    -fill '#264653' -draw "polygon 100,550 300,350 500,550" \
    -fill '#e9c46a' -draw "ellipse 600,480 150,70 0,360" PNG24:flat-art.png

# Grey stored as RGB: a photo made grey, written with three equal channels.
photo=$(find "$photos/nature" -name '*.jpg' | sort | head -1)
vips thumbnail "$photo" grey-tmp.png 1200
convert grey-tmp.png -colorspace Gray PNG24:grey-as-rgb.png
rm grey-tmp.png

# A window with transparency: the window with rounded corners and a soft shadow.
convert -size 700x500 xc:black -fill white -draw "roundrectangle 0,0 699,499 12,12" mask.png
convert screen-list.png -crop 700x500+0+0 +repage mask.png -alpha off -compose CopyOpacity -composite \
    -compose Over \( +clone -background black -shadow 60x8+0+6 \) +swap -background none -layers merge +repage \
    PNG32:window-alpha.png
rm mask.png

# Icons with alpha, at 256 px.
for icon in folder-pictures user-trash network-workgroup; do
    cp "$(find /usr/share/icons/Adwaita/256x256 -name "$icon.png" | head -1)" "icon-$icon.png" 2>/dev/null ||
        cp "$(find /usr/share/icons/Adwaita/512x512 -name "$icon.png" | head -1)" "icon-$icon.png"
done

# Photos stored as PNG.
for photo in $(find "$photos/nature" -name '*.jpg' | sort | sed -n '2p;5p'); do
    vips thumbnail "$photo" "photo-$(basename "$photo" .jpg).png" 1920
done
touch .complete
echo "$set_dir"
