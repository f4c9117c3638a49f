#!/usr/bin/env bash
# Prints the Auto benchmark's photos, one path a line, fetching them first if
# missing: photos (not drawings) from three Debian wallpaper packages,
# mate-backgrounds, plasma-workspace-wallpapers and lomiri-wallpapers-20.04,
# 0.3 to 20 megapixels, smooth and detailed, unpacked into KRUMPLE_BENCH_CACHE
# (never into the repository). Two portraits are copies of landscapes tagged
# with EXIF orientation 6 and 8, as phones store them. The packages hold no
# photo under 1.3 MP (plasma's small sizes are links to the 2560 × 1600 file),
# so two small ones are made by vipsthumbnail as a web page's would be.
# Progress goes to stderr.
set -euo pipefail

cache=${KRUMPLE_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/krumple-bench}
root=$cache/photo-set/root
packages=(mate-backgrounds plasma-workspace-wallpapers lomiri-wallpapers-20.04)
if [[ ! -d $root ]]; then
    mkdir -p "$cache/photo-set"
    cd "$cache/photo-set"
    for p in "${packages[@]}"; do
        rm -f "${p}"_*.deb
        if ! apt-get download "$p" >&2; then
            echo "apt-get download $p failed; run apt-get update first" >&2
            exit 1
        fi
        dpkg -x "${p}"_*.deb root
    done
fi
share=$root/usr/share
mate=$share/backgrounds/mate/nature
plasma() { echo "$share/wallpapers/$1/contents/images/$2.jpg"; }
made=$cache/photo-set/made
if [[ ! -d $made ]]; then
    mkdir -p "$made"
    cp "$(plasma Path 2560x1600)" "$made/Path-portrait.jpg"
    cp "$(plasma FallenLeaf 2560x1600)" "$made/FallenLeaf-portrait.jpg"
    exiftool -q -overwrite_original -Orientation#=6 "$made/Path-portrait.jpg" >&2
    exiftool -q -overwrite_original -Orientation#=8 "$made/FallenLeaf-portrait.jpg" >&2
    vipsthumbnail "$(plasma Kite 2560x1600)" --size 640x480 -o "$made/Kite-640.jpg[Q=90]" >&2
    vipsthumbnail "$(plasma summer_1am 2560x1600)" --size 800x600 -o "$made/summer_1am-800.jpg[Q=90]" >&2
fi
printf '%s\n' \
    "$mate"/{Blinds,Dune,Garden,LadyBird,RainDrops,Storm,TwoWings,Wood,YellowFlower}.jpg \
    "$share/backgrounds/mate/abstract/Elephants.jpg" \
    "$(plasma BytheWater 2560x1600)" "$(plasma ColdRipple 2560x1600)" "$(plasma ColorfulCups 2560x1600)" \
    "$(plasma DarkestHour 2560x1600)" "$(plasma EveningGlow 2560x1600)" "$(plasma Grey 2560x1600)" \
    "$made/Kite-640.jpg" "$(plasma OneStandsOut 2560x1600)" "$made/summer_1am-800.jpg" \
    "$(plasma Volna 5120x2880)" \
    "$share/backgrounds/Kleiber_by_Lukas_Baubkus.jpg" "$share/backgrounds/Infinite-Sea_by_Aury88.jpg" \
    "$made/Path-portrait.jpg" "$made/FallenLeaf-portrait.jpg"
