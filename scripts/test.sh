#!/usr/bin/env bash
# Builds and runs every test twice: an optimised build with GCC, then a build
# with AddressSanitizer and UndefinedBehaviorSanitizer made by clang, so that
# both compilers keep the code warning-free. Warnings stop these builds
# (QIL_WERROR); users' own builds only show them. Before building it checks
# that every library includes only what it links and prints how large the
# tests are against the code. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=${JOBS:-2}
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DQIL_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300
}

echo "== structure: include check and test ratio"
python3 scripts/check-includes.py
scripts/test-ratio.sh

echo "== optimised build (GCC)"
run_suite build -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== sanitizer build (clang; address, undefined)"
run_suite build-asan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DQIL_SANITIZE=ON -DQIL_BUILD_BENCH=OFF
