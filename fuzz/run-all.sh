#!/usr/bin/env bash
# Builds the fuzz targets, makes their seeds and runs every target for a while.
#
#   fuzz/run-all.sh [SECONDS]        SECONDS per target, 300 by default
#
# Steps: installs clang when it is missing (fuzzing is not part of the
# normal build, so scripts/install-deps.sh leaves it out); builds qilcd and
# the demo disc in a normal build (BUILD_DIR, default build/; configured
# when it does not exist); builds the fuzz tree with clang (FUZZ_BUILD_DIR,
# default build-fuzz/); makes seeds with fuzz/make-seeds.sh; runs the targets,
# JOBS (default 2) at a time, each on its corpus folder, which is kept between
# runs, and its seed folders. A target that finds a crash, a timeout (a unit
# running over 25 s) or an out-of-memory is started again on the same corpus
# until its time is up, so it keeps fuzzing. Finally prints a table: target,
# executions per second, libFuzzer's coverage (cov: edges, ft: features) at
# the end, and the findings, whose inputs are in FUZZ_BUILD_DIR/runs/artifacts/
# TARGET/; then the edge coverage of the BMP decoder's functions reached by
# picture_fuzz's corpus (edges include the sanitizers' report branches, which
# a sound run never takes).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-300}
build=${BUILD_DIR:-build}
fuzz_build=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${JOBS:-2}
targets=(archive template url picture metafile rtf bundle mathdb request)

if ! command -v clang++ >/dev/null 2>&1; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing clang"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends clang
fi

echo "== normal build ($build): qilcd and the demo disc"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DQIL_BUILD_TESTS=OFF -DQIL_BUILD_BENCH=OFF \
    -DQIL_BUILD_DESKTOP=OFF >/dev/null
fi
cmake --build "$build" -j 2 --target qilcd demo_disc

echo "== fuzz build ($fuzz_build, clang)"
if [ ! -f "$fuzz_build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$fuzz_build" -G Ninja -DQIL_BUILD_FUZZ=ON \
    -DQIL_BUILD_TESTS=OFF -DQIL_BUILD_BENCH=OFF -DQIL_BUILD_DISC=OFF -DQIL_BUILD_DESKTOP=OFF >/dev/null
fi
cmake --build "$fuzz_build" -j 2

runs=$(cd "$fuzz_build" && pwd)/runs
echo "== seeds ($runs/seeds)"
fuzz/make-seeds.sh "$build" "$runs/seeds" "$fuzz_build"

# Runs one target for the whole time, starting it again after a finding.
# Writes TARGET.stats: executions, seconds, cov, ft, findings.
fuzz_target() {
  local target=$1
  local binary corpus artifacts log deadline left executions=0 cov=0 ft=0
  binary=$(cd "$fuzz_build" && pwd)/fuzz/${target}_fuzz
  corpus=$runs/corpus/$target
  artifacts=$runs/artifacts/$target
  log=$runs/logs/$target.log
  mkdir -p "$corpus" "$artifacts" "$runs/logs"
  : > "$log"
  local seeds=("$runs/seeds/$target")
  if [ -d "$root/fuzz/${target}_seed" ]; then seeds+=("$root/fuzz/${target}_seed"); fi
  local findings_before
  findings_before=$(find "$artifacts" -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' -o -name 'leak-*' | wc -l)
  local start=$SECONDS
  deadline=$((SECONDS + seconds))
  while left=$((deadline - SECONDS)); [ "$left" -gt 0 ]; do
    local from executed line
    from=$(($(wc -l < "$log") + 1))
    # A finding ends the run with a non-zero code; it is counted from the artifacts.
    QIL_FUZZ_DISC=$(cd "$build" && pwd)/math.dat \
      "$binary" -max_total_time="$left" -timeout=25 -rss_limit_mb=3072 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}" >> "$log" 2>&1 || true
    executed=$(tail -n +"$from" "$log" | grep 'stat::number_of_executed_units' | awk '{print $2}') || true
    [ -n "$executed" ] || break  # it did not get to fuzzing: see the log
    executions=$((executions + executed))
    line=$(tail -n +"$from" "$log" | grep -E '^#[0-9]+.*cov: ' | tail -n 1) || true
    cov=$(sed -E 's/.*cov: ([0-9]+).*/\1/' <<<"$line")
    ft=$(sed -E 's/.*ft: ([0-9]+).*/\1/' <<<"$line")
  done
  local elapsed=$((SECONDS - start))
  local findings_after
  findings_after=$(find "$artifacts" -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' -o -name 'leak-*' | wc -l)
  local findings=$((findings_after - findings_before))
  echo "$executions $elapsed $cov $ft $findings" > "$runs/logs/$target.stats"
}

echo "== running ${#targets[@]} targets for $seconds s each, $jobs at a time (logs: $runs/logs)"
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  echo "   $target"
  fuzz_target "$target" &
  running=$((running + 1))
done
wait

printf '\n%-10s %10s %8s %9s %9s\n' target "exec/s" "cov" "ft" findings
for target in "${targets[@]}"; do
  read -r executions elapsed cov ft findings < "$runs/logs/$target.stats"
  printf '%-10s %10d %8s %9s %9d\n' "$target" "$((executions / (elapsed > 0 ? elapsed : 1)))" \
    "$cov" "$ft" "$findings"
done

echo
echo "BMP decoder, edges covered by picture_fuzz's corpus and seeds:"
"$fuzz_build/fuzz/picture_fuzz" -runs=0 -print_coverage=1 "$runs/corpus/picture" "$runs/seeds/picture" 2>&1 |
  grep -E '^COVERED_FUNC.*(Bmp|BMP)' |
  sed -E 's/.*edges: ([0-9]+\/[0-9]+) (qil::)?(\(anonymous namespace\)::)?([A-Za-z0-9_:]+)\(.*/  \4 \1/' || true
found=$(find "$runs/artifacts" -type f \( -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' -o -name 'leak-*' \) | sort)
if [ -n "$found" ]; then
  echo
  echo "Findings (run the target with a file to reproduce it):"
  echo "$found"
fi
