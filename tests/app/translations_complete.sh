#!/bin/sh
# Fails when a translation file misses a text the window has, keeps one it no
# longer has, or holds an unfinished entry (lupdate runs on copies and must
# change nothing), or when a translation drops a placeholder or an accelerator.
# Usage: translations_complete.sh LUPDATE SOURCE_DIR
set -eu
lupdate=$1
cd "$2"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/translations"
cp translations/*.ts "$scratch/translations/"
# The same runs as the update_translations target.
args="-silent -locations none -no-obsolete -extensions cpp,h $PWD/app $PWD/compare"
(cd "$scratch" && "$lupdate" $args -ts translations/krumple_de.ts translations/krumple_fr.ts &&
    "$lupdate" $args -pluralonly -ts translations/krumple_en.ts)
status=0
for ts in translations/*.ts; do
    if ! diff -u "$ts" "$scratch/$ts"; then
        echo "$ts is out of date: cmake --build build --target update_translations, then translate" >&2
        status=1
    fi
    if grep -n 'type="\(unfinished\|vanished\|obsolete\)"' "$ts"; then
        echo "$ts has unfinished or stale entries" >&2
        status=1
    fi
done
# Each translation keeps its source's placeholders (%1, %n) and accelerators (&).
for ts in translations/*.ts; do
    awk -v file="$ts" '
        function marks(text,   out, m, n, copy) {
            out = ""
            split("%1 %2 %3 %4 %n &amp;", list, " ")
            for (m = 1; m <= 6; m++) { copy = text; n = gsub(list[m], "", copy); out = out n " " }
            return out
        }
        /<source>/ { source = $0; sub(/.*<source>/, "", source); sub(/<\/source>.*/, "", source) }
        /<translation>.*<\/translation>|<numerusform>.*<\/numerusform>/ {
            text = $0; sub(/.*<(translation|numerusform)>/, "", text); sub(/<\/(translation|numerusform)>.*/, "", text)
            if (marks(text) != marks(source)) { print file ": \"" text "\" does not keep the marks of \"" source "\""; bad = 1 }
        }
        END { exit bad }' "$ts" || status=1
done
exit $status
