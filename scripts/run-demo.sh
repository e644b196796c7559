#!/usr/bin/env bash
# Builds the program and the demo disc (build/math.dat), then opens the disc
# in the desktop program's window. Without a display the program says so and
# shows how to reach the same disc with qilcd.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=${JOBS:-2}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target orvella qilcd demo_disc

exec build/src/app/orvella --archive build/math.dat "$@"
