#!/usr/bin/env bash
# Screenshots of the desktop program on a disc, as a student sees it: the
# readme, the start page, a list, a problem, problems whose formulas are
# metafiles, the about window. Runs the
# program under its own virtual display (tests/desktop/with-display.sh).
#
#   scripts/desktop-screenshots.sh [BUILD_DIR [OUT_DIR]]
#
# BUILD_DIR (default: build) holds src/app/orvella and math.dat; OUT_DIR
# (default: BUILD_DIR/desktop-screenshots) receives the PNG files.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build/desktop-screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
build=$(cd "$build" && pwd)
command -v import >/dev/null || { echo "needs ImageMagick's import (Debian imagemagick)" >&2; exit 2; }

exec tests/desktop/with-display.sh bash -s "$build" "$out" <<'SCRIPT'
set -euo pipefail
build=$1 out=$2
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT
# Without a window manager nothing maximizes: remember a screen-sized window.
mkdir -p "$work/state/orvella"
printf '[window]\nwidth=1280\nheight=900\nzoom=1\n' > "$work/state/orvella/window.ini"
export XDG_STATE_HOME=$work/state G_MESSAGES_DEBUG=orvella TMP=$work
"$build/src/app/orvella" --archive "$build/math.dat" >"$work/log" 2>&1 &
pid=$!
wait_for() { for _ in $(seq 200); do grep -q -- "$1" "$work/log" && return 0; sleep 0.1; done; return 1; }
shot() { sleep "${2:-1}"; import -window root "$out/$1.png"; echo "$out/$1.png"; }
wait_for "readme loaded"
shot readme
window=$(xdotool search --onlyvisible --name "Brenlowe: Orvella v1.00" | head -1)
xdotool mousemove --window "$window" 640 286 click 1
wait_for "main window loaded qilproto://qilproto_local/index.html"
shot start 2
open() { "$build/src/app/orvella" "$1"; wait_for "main window loaded $1"; }
open "qilproto://qilproto_local/index.html?show=mathlist.stmp%3Fmain%3DB%26sub%3D01%26packet%3D2"
shot list 2
open "qilproto://qilproto_local/index.html?show=solution.stmp%3Fid%3D000400"
shot problem 2
# Formulas that are metafiles: a statement with fractions (WMF), a
# statement in WMZ, then worked solutions (opened by the page's #solution)
# with a radical (WMF) and a quadratic (WMZ).
for shown in "000086 formula-statement-wmf" "000099 formula-statement-wmz" \
             "000857%23solution formula-solution-wmf" "000611%23solution formula-solution-wmz"; do
  set -- $shown
  open "qilproto://qilproto_local/index.html?show=solution.stmp%3Fid%3D$1"
  shot "$2" 2
done
xdotool key F1
shot about 1
SCRIPT
