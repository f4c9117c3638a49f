#!/usr/bin/env bash
# scripts/package-check.sh BUILD-DIR: builds the Debian package in BUILD-DIR
# with cpack and checks what it would install: its dependencies, both
# programs, the desktop entry, AppStream metainfo, icon, manual pages, shell
# completions and translations, and that the packaged command line converts an
# image.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: scripts/package-check.sh BUILD-DIR}" && pwd)
app_id=io.github.krumple.krumple
failures=0
fail() {
  echo "package-check: $*" >&2
  failures=$((failures + 1))
}

echo "== package"
rm -f "$build"/krumple_*.deb
log=$(cd "$build" && cpack -G DEB 2>&1) || { echo "$log" >&2; echo "package-check: cpack failed" >&2; exit 1; }
debs=("$build"/krumple_*_*.deb)
[ -f "${debs[0]}" ] || { echo "package-check: cpack made no krumple_<version>_<arch>.deb in $build" >&2; exit 1; }
deb=${debs[0]}
version=$(sed -n 's/^project(Krumple VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ "$(basename "$deb")" = "krumple_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "$(basename "$deb") is not named krumple_${version}_$(dpkg --print-architecture).deb"
echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) kB"

depends=$(dpkg-deb --field "$deb" Depends)
# dpkg-shlibdeps finds the linked libraries; the SVG plugins are named by hand.
for library in libvips42 libheif1 libjxl0.7 libqt6widgets6 libqt6gui6 libqt6svg6; do
  grep -qE "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done
[ "$(dpkg-deb --field "$deb" Section)" = graphics ] || fail "Section is not graphics"

tree=$(mktemp -d "$build/package-check.XXXXXX")
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
usr=$tree/usr
share=$usr/share

for program in krumple krumple-cli; do
  if [ ! -x "$usr/bin/$program" ]; then
    fail "usr/bin/$program is missing"
  elif ! file -b "$usr/bin/$program" | grep -q '^ELF.*executable'; then
    fail "usr/bin/$program is not a program: $(file -b "$usr/bin/$program")"
  fi
done
# Tests, benches and fuzz targets stay in the build.
extra=$(find "$tree" -type f ! -path "$share/*" ! -path "$usr/bin/krumple" ! -path "$usr/bin/krumple-cli")
[ -z "$extra" ] || fail "the package holds more than the programs and their data: $extra"

desktop=$share/applications/$app_id.desktop
if [ -f "$desktop" ]; then
  desktop-file-validate "$desktop" || fail "$app_id.desktop does not pass desktop-file-validate"
  grep -qx 'Exec=krumple %F' "$desktop" || fail "$app_id.desktop does not run krumple %F"
  grep -qx "Icon=$app_id" "$desktop" || fail "$app_id.desktop does not name the icon $app_id"
else
  fail "share/applications/$app_id.desktop is missing"
fi

metainfo=$share/metainfo/$app_id.metainfo.xml
if [ -f "$metainfo" ]; then
  appstreamcli validate --no-net "$metainfo" >/dev/null ||
    fail "$app_id.metainfo.xml does not pass appstreamcli validate: $(appstreamcli validate --no-net "$metainfo" 2>&1)"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "$app_id.metainfo.xml has no release $version"
  # The metainfo, the desktop entry it launches and the icon, together.
  appstreamcli validate-tree --no-net "$tree" >/dev/null ||
    fail "the installed tree does not pass appstreamcli validate-tree: $(appstreamcli validate-tree --no-net "$tree" 2>&1)"
else
  fail "share/metainfo/$app_id.metainfo.xml is missing"
fi

icons=$share/icons/hicolor
[ -f "$icons/scalable/apps/$app_id.svg" ] || fail "the scalable icon $app_id.svg is missing"
for size in 16 32 48 64 128 256; do
  png=$icons/${size}x$size/apps/$app_id.png
  if [ ! -f "$png" ]; then
    fail "the ${size}x$size icon is missing"
  elif ! file "$png" | grep -q "PNG image data, $size x $size,"; then
    fail "the ${size}x$size icon is not a $size x $size PNG: $(file -b "$png")"
  fi
done

for page in krumple.1 krumple-cli.1; do
  found=$(find "$share/man/man1" -name "$page" -o -name "$page.gz" 2>/dev/null | head -1)
  [ -n "$found" ] || fail "the manual page $page is missing"
done

# Each completion where its shell looks; bash's must load, zsh's and fish's
# pass their shells' syntax checks where those shells are installed.
bash_completion=$share/bash-completion/completions/krumple-cli
if [ ! -f "$bash_completion" ]; then
  fail "the bash completion share/bash-completion/completions/krumple-cli is missing"
elif ! bash -c 'source "$0" && complete -p krumple-cli' "$bash_completion" >/dev/null; then
  fail "the bash completion does not load: $(bash -c 'source "$0"; complete -p krumple-cli' "$bash_completion" 2>&1)"
fi
for shell_file in zsh:zsh/vendor-completions/_krumple-cli fish:fish/vendor_completions.d/krumple-cli.fish; do
  shell=${shell_file%%:*} file=$share/${shell_file#*:}
  if [ ! -f "$file" ]; then
    fail "the $shell completion share/${shell_file#*:} is missing"
  elif command -v "$shell" >/dev/null && ! "$shell" -n "$file"; then
    fail "the $shell completion share/${shell_file#*:} does not pass $shell -n"
  fi
done

for language in en de fr; do
  [ -f "$share/krumple/translations/krumple_$language.qm" ] ||
    fail "share/krumple/translations/krumple_$language.qm is missing"
done

echo "== packaged command line"
cli=$usr/bin/krumple-cli
if [ -x "$cli" ]; then
  if ! "$cli" --version | grep -q "$version"; then
    fail "the packaged krumple-cli --version does not print $version"
  fi
  # One small image into every format this system writes, and each output read back.
  work=$tree/convert
  mkdir -p "$work/back"
  cp "$root/packaging/icons/krumple-64.png" "$work/icon.png"
  formats=$("$cli" --list-formats | cut -d' ' -f1)
  [ "$(echo $formats)" = "heic jpeg png avif jxl webp" ] || fail "the packaged krumple-cli writes only: $(echo $formats)"
  for format in $formats; do
    if output=$("$cli" --format "$format" --out "$work/$format" "$work/icon.png" 2>&1); then
      echo "$format: ${output%%$'\n'*}"
    else
      fail "the packaged krumple-cli could not convert to $format: $output"
    fi
  done
  "$cli" --format png --out "$work/back" "$work"/*/icon.* >/dev/null ||
    fail "the packaged krumple-cli could not read back its own outputs"
  # One image through standard input and output, at a quality in percent.
  if ! "$cli" -q 80 -f jpg --out - - < "$work/icon.png" > "$work/piped" 2>/dev/null; then
    fail "the packaged krumple-cli could not convert standard input to standard output"
  elif ! file -b "$work/piped" | grep -q '^JPEG image data'; then
    fail "krumple-cli -f jpg --out - - wrote no JPEG: $(file -b "$work/piped")"
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "package-check: $failures problem(s) with $(basename "$deb")" >&2
  exit 1
fi
echo "$(basename "$deb"): everything in place"
