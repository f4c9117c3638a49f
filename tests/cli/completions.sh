#!/usr/bin/env bash
# The shell completions the build makes: bash's registers krumple-cli and
# offers every option --help lists, format names, folders after --out and
# files for paths; fish's offers the same, and zsh's and fish's pass their
# shells' syntax checks, where those shells are installed. The manual page
# names every option too.
# Usage: completions.sh COMPLETIONS-DIR KRUMPLE-CLI MANUAL-PAGE
set -euo pipefail
dir=$(realpath "$1") cli=$(realpath "$2") manual=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir "my photos" && touch a.png -- --odd.png
fail() { echo "FAIL: $*" >&2; exit 1; }

# offered WORD...: what bash offers for the last word, after the ones before it.
offered() {
  bash -c 'source "$0"; COMP_WORDS=(krumple-cli "$@"); COMP_CWORD=$#; _krumple_cli
           printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "' "$dir/bash/krumple-cli" "$@"
}
bash -c 'source "$0" && complete -p krumple-cli' "$dir/bash/krumple-cli" >/dev/null || fail "bash: krumple-cli not registered"
options=$("$cli" --help | sed -nE 's/^  (-[a-zA-Z], |    )(--[a-z-]+).*/\2/p' | sort | paste -sd " ")
[ -n "$options" ] || fail "no options in --help"
while IFS='|' read -r typed want; do
  read -ra words <<< "$typed"
  [ "${typed: -1}" = " " ] && words+=("")
  got=$(offered "${words[@]}")
  [ "$got" = "$want" ] || fail "bash after '$typed': '$got', not '$want'"
done <<EOT
--|$options
--qu|--quality
--sk|--skip-existing
--format W|webp
-f jp|jpeg jpegxl jpg
--format = we|webp
-o my|my photos
-q |auto
--jobs |
a|a.png
-- --o|--odd.png
EOT

for option in $options; do
  grep -qF -- "${option//-/\\-}" "$manual" || fail "the manual page lacks $option"
done

if command -v zsh >/dev/null; then zsh -n "$dir/zsh/_krumple-cli" || fail "zsh: syntax"; fi
if command -v fish >/dev/null; then
  fish -n "$dir/fish/krumple-cli.fish" || fail "fish: syntax"
  got=$(fish -c "source '$dir/fish/krumple-cli.fish'; complete -C'krumple-cli --format w'" | cut -f1)
  [ "$got" = webp ] || fail "fish after '--format w': '$got'"
  got=$(cd "my photos" && fish -c "source '$dir/fish/krumple-cli.fish'; complete -C'krumple-cli --'" | cut -f1 | sort | paste -sd " ")
  [ "$got" = "$options" ] || fail "fish options: '$got', not '$options'"
fi
[ -s "$dir/zsh/_krumple-cli" ] || fail "no zsh completion"
for option in $options; do grep -qF -- "$option" "$dir/zsh/_krumple-cli" || fail "zsh lacks $option"; done
echo "completions: bash$(command -v fish >/dev/null && echo " and fish") offer the $(wc -w <<< "$options") options of --help;" \
  "zsh's file and the manual name them$(command -v zsh >/dev/null && echo "; zsh -n passes")"
