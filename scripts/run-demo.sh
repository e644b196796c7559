#!/usr/bin/env bash
# Builds the engine and the demo disc (build/math.dat), then runs the engine on
# it from the command line: checks every problem of the database, answers the
# start page, a problem list and a problem page, and copies a problem to a
# clipboard file (build/demo-clipboard.rtf).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=${JOBS:-2}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

qilcd=build/src/app/qilcd
disc=build/math.dat

echo "== the problem database of $disc"
"$qilcd" db "$disc"

echo
echo "== pages answered by the engine (bytes, address)"
for address in \
  "qilproto://qilproto_local/index.html" \
  "qilproto://qilproto_local/main.stmp" \
  "qilproto://qilproto_local/mathlist.stmp?main=A&sub=01&packet=1" \
  "qilproto://qilproto_local/solution.stmp?id=000000" \
  "qilproto://qilproto_local/clipbo.stmp?type=b&id=000000"; do
  size=$("$qilcd" get --archive "$disc" --clipboard build/demo-clipboard.rtf "$address" | wc -c)
  printf '%8d  %s\n' "$size" "$address"
done
echo
echo "The copied problem is in build/demo-clipboard.rtf; any address can be fetched with"
echo "  $qilcd get --archive $disc qilproto://qilproto_local/index.html"
