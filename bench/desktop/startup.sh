#!/usr/bin/env bash
# How long the desktop program takes to show its start page, next to a bare
# GTK web view showing the same start page from plain files.
#
#   startup.sh BUILD_DIR          (ROUNDS=N sets the number of rounds, default 5)
#
# Everything runs on a virtual X server and a session bus of the script's own,
# both stopped on exit. One unmeasured round warms the disk cache first; then
# each round runs
#   a) bare_webview on file://.../index.html: its "loaded MS" line;
#   b) orvella on the disc with its debug log, Accept clicked with xdotool:
#      R = "readme loaded", A = "readme accepted", S = "main window loaded
#      .../index.html", all in ms since main(); the program's own start-up is
#      R + (S - A), leaving out the time the click takes.
# The script prints the medians and their ratio against the goal; it fails
# only when a program does not start or does not load its page.
set -uo pipefail

readonly GOAL=1.5
readonly TITLE="Brenlowe: Orvella v1.00"
readonly START_PAGE="qilproto://qilproto_local/index.html"
readonly WAIT_SECONDS=30   # for each page to load
readonly STOP_SECONDS=10   # for a program to end after SIGTERM

die() { echo "startup: $*" >&2; exit 1; }

[ $# -eq 1 ] || { echo "usage: startup.sh BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" 2>/dev/null && pwd) || { echo "startup: no folder $1" >&2; exit 2; }
rounds=${ROUNDS:-5}
[[ "$rounds" =~ ^[1-9][0-9]*$ ]] || { echo "startup: ROUNDS must be a positive number" >&2; exit 2; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
orvella=$build/src/app/orvella
qilcd=$build/src/app/qilcd
disc=$build/math.dat
for file in "$orvella" "$qilcd" "$disc"; do [ -e "$file" ] || die "missing $file"; done
for tool in Xvfb xdotool dbus-daemon timeout; do
  command -v "$tool" >/dev/null || die "needs $tool"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/orvella-startup.XXXXXX") || die "no temporary folder"
xvfb_pid="" dbus_pid="" program_pid=""

# stop PID: SIGTERM, up to STOP_SECONDS for it to end, then SIGKILL. 0 if it ended by itself.
stop() {
  local pid=$1 waited=0
  kill -TERM "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
  while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt $((STOP_SECONDS * 10)) ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 1
  fi
  wait "$pid" 2>/dev/null
  return 0
}

# shellcheck disable=SC2317  # runs from the cleanup, which runs from the trap
# descendants PID: the processes PID started, and theirs, deepest last.
descendants() {
  local child
  for child in $(pgrep -P "$1" 2>/dev/null); do
    echo "$child"
    descendants "$child"
  done
}

# shellcheck disable=SC2317  # runs from the trap
cleanup() {
  [ -n "$program_pid" ] && stop "$program_pid"
  if [ -n "$dbus_pid" ]; then
    # The services the bus started for the programs (the accessibility bus
    # and its registry) go with it.
    local child
    for child in $(descendants "$dbus_pid" | tac); do stop "$child"; done
    stop "$dbus_pid"
  fi
  [ -n "$xvfb_pid" ] && stop "$xvfb_pid"
  if [ -n "${KEEP_WORK:-}" ]; then echo "startup: kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# --- The bare web view: the build's own, else compiled here from its source.
bare=$build/bench/desktop/bare_webview
if [ ! -x "$bare" ]; then
  bare=$work/bare_webview
  # shellcheck disable=SC2046  # pkg-config's flags are meant to split
  cc -O2 -o "$bare" "$here/bare_webview.c" $(pkg-config --cflags --libs webkit2gtk-4.1 gtk+-3.0) ||
    die "cannot build bare_webview (needs libwebkit2gtk-4.1-dev)"
fi

# --- The start page as plain files: index.html and everything it and its
# frames load (stylesheets, scripts, frames, pictures, fonts), followed
# from page to page; the disc's font folder comes along whole.
pages=$work/pages
fetch() {  # fetch PATH: one address of the disc into $pages/PATH; 1 if the disc has nothing there
  mkdir -p "$pages/$(dirname "$1")"
  "$qilcd" get --archive "$disc" "qilproto://qilproto_local/$1" >"$pages/$1" 2>"$work/fetch.err" &&
    [ -s "$pages/$1" ]
}
# references FILE: the relative addresses FILE loads (not the links it offers).
references() {
  case "$1" in
    *.css) grep -o 'url([^)]*)' "$1" | sed -E 's/^url\(["'\'']?//; s/["'\'']?\)$//' ;;
    *) { grep -oE '\<src="[^"]*"' "$1"; grep -oE '<link[^>]*>' "$1" | grep -oE 'href="[^"]*"'; } |
         sed -E 's/^[a-z]+="//; s/"$//' ;;
  esac | sed -E 's/[?#].*$//' | grep -vE '^$|^[a-zA-Z][a-zA-Z0-9+.-]*:|^/'
}
queue=(index.html)
for font in $("$qilcd" ls "$disc" | awk -F'\t' '$2 ~ /^mt4fonts\/.*\.ttf$/ {print $2}'); do
  queue+=("$font")
done
declare -A fetched=()
while [ ${#queue[@]} -gt 0 ]; do
  path=${queue[0]}
  queue=("${queue[@]:1}")
  [ -n "${fetched[$path]:-}" ] && continue
  fetched[$path]=1
  fetch "$path" || die "the disc has nothing at $path ($(cat "$work/fetch.err"))"
  case "$path" in
    *.html | *.htm | *.stmp | *.css)
      base=$(dirname "$path")
      for ref in $(references "$pages/$path"); do
        if [ "$base" = . ]; then queue+=("$ref"); else queue+=("$base/$ref"); fi
      done ;;
  esac
done
page_uri="file://$pages/index.html"
# orvella makes the disc's fonts known to its renderers, so that a page may
# name one by family alone; the bare view gets the same folder, and both
# pages are drawn alike.
cat >"$work/fonts.conf" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">${FONTCONFIG_FILE:-fonts.conf}</include>
  <dir>$pages/mt4fonts</dir>
</fontconfig>
EOF

# --- A display and a session bus of our own.
for n in $(seq 90 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
    export DISPLAY=":$n"
    break
  fi
  stop "$xvfb_pid"   # someone took the number meanwhile: try the next
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || die "Xvfb did not start"
unset WAYLAND_DISPLAY
export LIBGL_ALWAYS_SOFTWARE=1   # no GPU: both views draw in software

exec 3>"$work/dbus.address"
dbus-daemon --session --nofork --nopidfile --print-address=3 >"$work/dbus.log" 2>&1 &
dbus_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/dbus.address" ] && break; sleep 0.05; done
[ -s "$work/dbus.address" ] || die "the session bus did not start"
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/dbus.address")
export DBUS_SESSION_BUS_ADDRESS

# Nothing of the run lands in the user's folders: orvella keeps its window
# size in the state folder and its font folder under TMP.
export XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
export XDG_CONFIG_HOME=$work/config TMP=$work/tmp
mkdir -p "$TMP"

# --- One round of each program. Both run in this shell, not in a subshell,
# so that the cleanup knows a program that is still running.

# run_bare LOG: sets bare_ms, the bare view's milliseconds.
run_bare() {
  local log=$1 status=0
  FONTCONFIG_FILE=$work/fonts.conf timeout "$WAIT_SECONDS" "$bare" "$page_uri" >"$log" 2>"$log.err" ||
    status=$?
  [ "$status" -eq 0 ] || { cat "$log.err" >&2; die "bare_webview ended with $status"; }
  grep -q 'cannot load' "$log.err" && { cat "$log.err" >&2; die "bare_webview missed a file"; }
  bare_ms=$(sed -nE 's/^loaded ([0-9.]+)$/\1/p' "$log" | head -1)
  [ -n "$bare_ms" ] || die "bare_webview printed no time"
}

# wait_log LOG PATTERN: waits for a line of orvella's log.
wait_log() {
  local _
  for _ in $(seq $((WAIT_SECONDS * 10))); do
    grep -qsE -- "$2" "$1" && return 0
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  return 1
}

# ms_of LOG EVENT: the milliseconds of the first line of the log that is EVENT,
# or EVENT and a space and more.
ms_of() { sed -nE "s|.*\[([0-9.]+) ms\] $2( .*)?\$|\1|p" "$1" | head -1; }

# run_orvella LOG: one start with the readme accepted; sets r, a and s.
run_orvella() {
  local log=$1 window="" _
  G_MESSAGES_DEBUG=orvella "$orvella" --archive "$disc" >"$log" 2>&1 &
  program_pid=$!
  wait_log "$log" "readme loaded" || { cat "$log" >&2; die "orvella showed no readme"; }
  window=$(timeout 10 xdotool search --sync --onlyvisible --name "^$TITLE\$" | head -1)
  [ -n "$window" ] || die "no window named $TITLE"
  # Click Accept; once more if the first click came before the page could take it.
  for _ in 1 2 3 4 5; do
    xdotool mousemove --window "$window" 640 286 click 1 2>/dev/null
    for _ in $(seq 20); do grep -q "readme accepted" "$log" && break 2; sleep 0.1; done
  done
  grep -q "readme accepted" "$log" || die "clicking Accept did not accept the readme"
  wait_log "$log" "main window loaded $START_PAGE\$" ||
    { cat "$log" >&2; die "orvella did not load $START_PAGE"; }
  stop "$program_pid" || echo "startup: orvella did not end on SIGTERM" >&2
  program_pid=""
  r=$(ms_of "$log" "readme loaded")
  a=$(ms_of "$log" "readme accepted")
  s=$(ms_of "$log" "main window loaded $START_PAGE")
  if [ -z "$r" ] || [ -z "$a" ] || [ -z "$s" ]; then die "a figure is missing from $log"; fi
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# --- The rounds; round 0 only warms the caches.
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
mkdir -p "$work/logs"
: >"$work/bare.ms"
: >"$work/orvella.ms"
for round in $(seq 0 "$rounds"); do
  run_bare "$work/logs/bare.$round"
  run_orvella "$work/logs/orvella.$round"
  [ "$round" -eq 0 ] && continue
  echo "$bare_ms" >>"$work/bare.ms"
  echo "$round $r $a $s" >>"$work/orvella.ms"
done

# --- The report.
echo "Start page, $rounds rounds after one warm-up (ms since main())"
echo "load average before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"
echo
printf '%5s %10s | %10s %10s %10s %10s %14s\n' round bare R A S "S-A" "orvella R+S-A"
paste -d' ' "$work/bare.ms" "$work/orvella.ms" |
  awk '{printf "%5d %10.1f | %10.1f %10.1f %10.1f %10.1f %14.1f\n", $2, $1, $3, $4, $5, $5 - $4, $3 + $5 - $4}'
bare_median=$(median <"$work/bare.ms")
r_median=$(awk '{print $2}' "$work/orvella.ms" | median)
sa_median=$(awk '{print $4 - $3}' "$work/orvella.ms" | median)
cost_median=$(awk '{print $2 + $4 - $3}' "$work/orvella.ms" | median)
echo
awk -v bare="$bare_median" -v cost="$cost_median" -v r="$r_median" -v sa="$sa_median" -v goal="$GOAL" 'BEGIN {
  ratio = cost / bare
  printf "%-40s %9.1f ms\n", "bare web view, file:// (median)", bare
  printf "%-40s %9.1f ms\n", "orvella, R + (S - A) (median)", cost
  printf "%-40s %9.1f ms\n", "  of which R, readme (median)", r
  printf "%-40s %9.1f ms\n", "  of which S - A, main window (median)", sa
  printf "%-40s %9.2fx   goal <= %.1fx: %s\n", "ratio", ratio, goal, (ratio <= goal) ? "met" : "NOT met"
}'
exit 0
