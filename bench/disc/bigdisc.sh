#!/usr/bin/env bash
# A disc of about 1 GB: 100,000 problems and 20,000 other entries, next to a
# disc of 20,000 entries made the same way (16,000 problems, 4,000 others).
#
#   bigdisc.sh BUILD_DIR      (a release build with bench/disc/bigdisc and src/app/qilcd)
#
# Environment: BIGDISC_WORK=DIR packs the discs into DIR and keeps them, and
# a later run with the same DIR measures them again without generating;
# without it they go into a temporary folder removed at exit. The source
# folders live only until they are packed, in /dev/shm when it has room.
# RUNS=N sets the runs of each start-up measurement (default 7), SESSIONS=N
# the sessions whose answers are timed (default 5; each shows other pages),
# and DIVIDE=N makes both discs N times smaller, for a quick check.
#
# For each disc it reports
#  - start-up: `qilcd session` with empty input (engine start and stop, as a
#    whole process), median wall time and maximum resident set, next to its
#    limit, a process that only opens the archive and reads the database's
#    index raw (`bigdisc rawindex`); goal: at most 2x;
#  - memory per entry: how much both processes grow from the small disc to
#    the big one, per entry; the raw reader holds the directory and the index
#    and nothing else, so the session's growth should be no more than that
#    (goal: at most 1.25x);
#  - the answers of a session, in order: an address that names nothing
#    ("ready": from starting the process to this answer), the start page, the
#    index page, a list page with a cold bundle cache and then 10 times with
#    a warm one (their median), a problem page, 25 additions to the worksheet
#    (summed) and the copy of that worksheet with its solutions (50
#    pictures) to the clipboard; medians over the sessions, next to the same
#    on the small disc (goal: at most 1.5x; pages must not slow down with the
#    size of the disc).
# The archive file stays in the system's page cache between runs (the
# machine has the memory), so "cold" is the engine's cache, not the disk's.
# Lines starting with "ROW|" are for scripts/bench.sh.
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: bigdisc.sh BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
static=$here/../../content/static
qilcd=$build/src/app/qilcd
bigdisc=$build/bench/disc/bigdisc
runs=${RUNS:-7}
sessions=${SESSIONS:-5}
for file in "$qilcd" "$bigdisc"; do [ -x "$file" ] || { echo "bigdisc: missing $file" >&2; exit 2; }; done

memory_src=""
if [ -n "${BIGDISC_WORK:-}" ]; then
  work=$BIGDISC_WORK
  mkdir -p "$work"
  trap '[ -z "$memory_src" ] || rm -rf "$memory_src"' EXIT
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/bigdisc.XXXXXX")
  trap '[ -z "$memory_src" ] || rm -rf "$memory_src"; rm -rf "$work"' EXIT
fi

seconds() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f", b - a}'; }

# make_disc NAME PROBLEMS OTHERS: $work/NAME.dat, generated and packed unless
# it is there already from an earlier run with the same numbers.
make_disc() {
  local name=$1 problems=$2 others=$3
  local src=$work/$name.src stamp="$2 $3"
  if [ -f "$work/$name.dat" ] && [ "$(cat "$work/$name.stamp" 2>/dev/null)" = "$stamp" ]; then
    echo "$name: reusing $work/$name.dat"
    return
  fi
  # The source folder only lives until it is packed: in memory when there is
  # room, as removing a few hundred thousand files from a disk can take long.
  local room
  room=$(df -Pk /dev/shm 2>/dev/null | awk 'NR == 2 {print $4}')
  if [ -n "$room" ] && [ "$room" -gt $((problems * 20 + others * 48 + 512000)) ]; then
    src=$(mktemp -d /dev/shm/bigdisc-src.XXXXXX)
    memory_src=$src
  fi
  rm -rf "$work/$name.dat" "$work/$name.stamp"
  mkdir -p "$src"
  cp -r "$static/." "$src/"
  local start end
  start=$(date +%s.%N)
  "$bigdisc" generate "$src" "$problems" "$others"
  end=$(date +%s.%N)
  echo "$name: generated in $(seconds "$start" "$end") s, $(du -sm "$src" | cut -f1) MB in $(find "$src" -type f | wc -l) files"
  start=$end
  "$qilcd" pack "$src" "$work/$name.dat"
  end=$(date +%s.%N)
  echo "$name: packed in $(seconds "$start" "$end") s into $(($(stat -c %s "$work/$name.dat") / 1000000)) MB"
  start=$(date +%s.%N)
  rm -rf "$src"
  memory_src=""
  echo "$name: source folder removed in $(seconds "$start" "$(date +%s.%N)") s"
  echo "$stamp" >"$work/$name.stamp"
}

field() { sed -nE "s/.*\\<$1=([0-9.]+).*/\\1/p" <<<"$2"; }
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# The steps of a session, in the order of the report.
steps=(ready start_page index_page list_cold list_warm problem_page add_25 copy_25)
# session_addresses S PROBLEMS: the steps of session S, one "STEP ADDRESS"
# line per request. A step asked several times counts with the median of its
# answers, except the additions, which count together.
session_addresses() {
  local s=$1 problems=$2 i
  local groups=(A B G P S)
  local list="mathlist.stmp?main=${groups[$((s % 5))]}&sub=0$((2 + s % 3))&packet=$((1 + s))"
  echo "ready no-such-entry-$s.htm"
  echo "start_page index.html"
  echo "index_page main.stmp"
  echo "list_cold $list"
  for i in $(seq 10); do echo "list_warm $list"; done
  echo "problem_page solution.stmp?id=$(((problems / 2 + 977 * s) % problems))"
  for i in $(seq 0 24); do echo "add_25 wadd.stmp?id=$(((i * problems / 25 + 131 * s + 7) % problems))"; done
  echo "copy_25 clipbo.stmp?type=cl_w_sol"
}

# measure_disc NAME PROBLEMS: sets, for the disc, entries, raw and start-up
# figures, and the median ms of each session step in step_ms[NAME.step].
declare -A step_ms=() figures=()
measure_disc() {
  local name=$1 problems=$2
  local dat=$work/$name.dat out s
  figures[$name.entries]=$(($("$qilcd" ls "$dat" | wc -l) + problems))
  echo
  echo "== $name disc: $problems problems, ${figures[$name.entries]} entries in all (archive entries and problems), $(($(stat -c %s "$dat") / 1000000)) MB"
  echo "raw index read, in process: $("$bigdisc" rawindex "$dat")"
  out=$("$bigdisc" measure "$runs" "$bigdisc" rawindex "$dat")
  echo "raw index read, whole process ($runs runs): $out"
  figures[$name.raw_ms]=$(field wall_ms "$out")
  figures[$name.raw_kb]=$(field maxrss_kb "$out")
  out=$("$bigdisc" measure "$runs" "$qilcd" session --archive "$dat")
  echo "qilcd session start-up and stop, whole process ($runs runs): $out"
  figures[$name.start_ms]=$(field wall_ms "$out")
  figures[$name.start_kb]=$(field maxrss_kb "$out")

  local log=$work/$name.sessions
  : >"$log"
  for s in $(seq 0 $((sessions - 1))); do
    session_addresses "$s" "$problems" >"$work/$name.steps.$s"
    mapfile -t addresses < <(cut -d' ' -f2 "$work/$name.steps.$s")
    "$bigdisc" drive "$qilcd" "$dat" "$work/$name.clipboard.rtf" "${addresses[@]}" >"$work/$name.session.$s"
    if awk 'NF == 5 && $3 != 200 && $5 !~ /^no-such-entry/ {bad = 1} END {exit !bad}' "$work/$name.session.$s"; then
      cat "$work/$name.session.$s" >&2
      echo "bigdisc: a page of session $s was not answered" >&2
      exit 1
    fi
    grep -q 'wmetafile8' "$work/$name.clipboard.rtf" || { echo "bigdisc: the copy holds no picture" >&2; exit 1; }
    # One line per step: the step and its ms in this session. "ready" is the
    # time from starting the process, every other step the time of its answer.
    grep -E '^ +[0-9]' "$work/$name.session.$s" | paste -d' ' <(cut -d' ' -f1 "$work/$name.steps.$s") - |
      awk '{
          ms = ($1 == "ready") ? $3 : $2
          if ($1 == "add_25") { sum[$1] += ms } else { v[$1, ++n[$1]] = ms }
        }
        END {
          for (step in n) {
            k = n[step]
            for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++)
              if (v[step, j] < v[step, i]) { t = v[step, i]; v[step, i] = v[step, j]; v[step, j] = t }
            print step, (k % 2) ? v[step, (k + 1) / 2] : (v[step, k / 2] + v[step, k / 2 + 1]) / 2
          }
          for (step in sum) print step, sum[step]
        }' >>"$log"
  done
  echo "session answers, ms (median of $sessions sessions; the warm list page is asked 10 times a"
  echo "session and counts with its median there; the 25 additions are summed):"
  local step
  for step in "${steps[@]}"; do
    step_ms[$name.$step]=$(awk -v k="$step" '$1 == k {print $2}' "$log" | median)
    printf '  %-14s %9.2f\n' "$step" "${step_ms[$name.$step]}"
  done
  echo "  clipboard document: $(stat -c %s "$work/$name.clipboard.rtf") bytes, $(grep -o wmetafile8 "$work/$name.clipboard.rtf" | wc -l) pictures"
}

echo "bigdisc: $(nproc) cores, $(sed -nE 's/^model name\s*:\s*//p' /proc/cpuinfo | head -1), work folder $work"
divide=${DIVIDE:-1}
make_disc small $((16000 / divide)) $((4000 / divide))
make_disc big $((100000 / divide)) $((20000 / divide))
measure_disc small $((16000 / divide))
measure_disc big $((100000 / divide))

echo
echo "== summary"
row() { echo "ROW|$1|$2|$3|$4|$5"; }
thousands() { sed -E ':a; s/([0-9])([0-9]{3})($|,)/\1,\2\3/; ta' <<<"$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", (b > 0) ? a / b : 0}'; }
for name in small big; do
  r=$(ratio "${figures[$name.start_ms]}" "${figures[$name.raw_ms]}")
  row "qilcd session start-up, $(thousands "${figures[$name.entries]}") entries" "${figures[$name.start_ms]} ms" \
    "raw index read ${figures[$name.raw_ms]} ms" "$r" "<= 2"
done
entries_added=$(("${figures[big.entries]}" - "${figures[small.entries]}"))
session_per_entry=$(awk -v a="${figures[big.start_kb]}" -v b="${figures[small.start_kb]}" -v n="$entries_added" \
  'BEGIN {printf "%.1f", (a - b) * 1024 / n}')
raw_per_entry=$(awk -v a="${figures[big.raw_kb]}" -v b="${figures[small.raw_kb]}" -v n="$entries_added" \
  'BEGIN {printf "%.1f", (a - b) * 1024 / n}')
echo "max resident set: session ${figures[small.start_kb]} KB -> ${figures[big.start_kb]} KB," \
  "raw read ${figures[small.raw_kb]} KB -> ${figures[big.raw_kb]} KB, for $entries_added more entries"
row "start-up memory per entry (growth from the small disc to the big one)" "$session_per_entry B" \
  "raw index read $raw_per_entry B" "$(ratio "$session_per_entry" "$raw_per_entry")" "<= 1.25"
declare -A labels=([start_page]="start page" [list_cold]="list page, cold cache" [list_warm]="list page, warm cache"
  [problem_page]="problem page" [copy_25]="copy of a 25-problem worksheet with solutions")
for step in start_page list_cold list_warm problem_page copy_25; do
  row "1 GB disc: ${labels[$step]}" "${step_ms[big.$step]} ms" \
    "same on the $(thousands "${figures[small.entries]}")-entry disc ${step_ms[small.$step]} ms" \
    "$(ratio "${step_ms[big.$step]}" "${step_ms[small.$step]}")" "<= 1.5"
done
