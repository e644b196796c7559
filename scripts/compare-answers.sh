#!/usr/bin/env bash
# Checks that a change leaves every page answer as it was: builds `qilcd` and
# the demo disc at BASE (a git revision, default the upstream of HEAD's branch
# or HEAD~1) in a worktree under /tmp, records the answers of the fixed crawl
# (scripts/answers.py) with that build, and compares them byte for byte with
# the answers of the build in build/ on the same disc.
#
#   scripts/compare-answers.sh [BASE]
set -euo pipefail
cd "$(dirname "$0")/.."
base=$(git rev-parse --verify "${1:-HEAD~1}^{commit}")
work=/tmp/qil-answers-${base:0:12}
if [[ ! -x $work/build/src/app/qilcd || ! -f $work/build/math.dat ]]; then
  rm -rf "$work"
  git worktree add --detach --force "$work" "$base" >/dev/null
  cmake -S "$work" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQIL_BUILD_TESTS=OFF -DQIL_BUILD_DESKTOP=OFF >/dev/null
  cmake --build "$work/build" -j2 --target qilcd demo_disc >/dev/null
fi
cmake --build build -j2 --target qilcd >/dev/null
recording=$work/answers.bin
[[ -f $recording ]] || python3 scripts/answers.py record "$work/build/src/app/qilcd" "$work/build/math.dat" "$recording"
python3 scripts/answers.py compare build/src/app/qilcd "$work/build/math.dat" "$recording"
