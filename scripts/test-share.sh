#!/usr/bin/env bash
# Tests as a share of code plus tests, in non-blank, non-comment lines of C++
# (.cpp and .h): tests/ against engine/ model/ cli/ app/ compare/. Our rule
# is 0.25 to 0.33; prints the figure and each folder's count.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# lines DIR...: the non-blank lines left once comments are taken out; text
# inside string literals is kept as it is.
lines() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z | xargs -0 -r awk '
    FNR == 1 { block = 0 }
    {
      out = ""; s = $0; n = length(s); i = 1
      while (i <= n) {
        c = substr(s, i, 1); two = substr(s, i, 2)
        if (block) { if (two == "*/") { block = 0; i += 2 } else i++; continue }
        if (two == "//") break
        if (two == "/*") { block = 1; i += 2; continue }
        if (c == "\"" || c == "\x27") {
          q = c; out = out c; i++
          while (i <= n && substr(s, i, 1) != q) { if (substr(s, i, 1) == "\\") { out = out "\\"; i++ } out = out substr(s, i, 1); i++ }
          out = out q; i++; continue
        }
        out = out c; i++
      }
      if (out ~ /[^ \t\r]/) count++
    }
    END { print count + 0 }'
}

cd "$root"
code=0
for dir in engine model cli app compare; do
  n=$(lines "$dir"); code=$((code + n))
  printf '  %-8s %6d\n' "$dir/" "$n"
done
tests=$(lines tests)
printf '  %-8s %6d\n' "tests/" "$tests"
for dir in tests/*/; do
  n=$(lines "$dir")
  [ "${n:-0}" -gt 0 ] && printf '    %-16s %6d\n' "$dir" "$n"
done
awk -v t="$tests" -v c="$code" 'BEGIN { printf "test share: %.3f (%d test lines, %d code lines)\n", t / (t + c), t, c }'
