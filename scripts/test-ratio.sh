#!/usr/bin/env bash
# Prints how many lines of tests the project carries per line of code, and
# fails when tests exceed 35 % of the code: the lines of tests/ against the
# lines of src/ plus content/generator/ and content/pictures/ (sources,
# headers, scripts and CMake files, blank lines and comments included on both
# sides).
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  git ls-files -co --exclude-standard -- "$@" |
    grep -E '\.(cpp|h|c|sh|py)$|CMakeLists\.txt$' | while read -r file; do [[ -f $file ]] && cat "$file"; done | wc -l
}
tests=$(count tests)
code=$(count src content/generator content/pictures)
percent=$(( (tests * 1000 / code + 5) / 10 ))
printf 'test lines: %d   code lines (src/ + content/generator/ + content/pictures/): %d   tests are %d %% of the code (limit 35 %%)\n' \
  "$tests" "$code" "$percent"
(( tests * 100 <= code * 35 ))
