#!/usr/bin/env bash
# The real program on the demo disc under a virtual display (run through
# with-display.sh), as a student uses it: readme, start page, a second start
# with an address, a copy to the X clipboard, the about window, the close
# question, and the orderly ends (Yes, SIGTERM, declining the readme, no display).
#
#   desktop_session.sh ORVELLA QILCD DISC
set -uo pipefail   # no -e: every check reports, and the run goes on
orvella=$1 qilcd=$2 disc=$3
title="Brenlowe: Orvella v1.00"
work=$(mktemp -d)
pid="" main=""
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT
export TMP=$work/tmp XDG_STATE_HOME=$work/state G_MESSAGES_DEBUG=orvella
mkdir -p "$TMP"
log=$work/orvella.log
. "$(dirname "$0")/checks.sh"
windows() { xdotool search --onlyvisible --name "$title" 2>/dev/null; }
other_window() { poll 100 eval 'windows | grep -vx "$main" | head -1 | grep .'; }  # besides the main one
# ended: the program's exit status, after up to 10 s; in_order: it was 0 and the font folder went too.
ended() {
  poll 100 eval '! kill -0 "$pid" 2>/dev/null'
  status=0
  wait "$pid" || status=$?
  pid=""
}
in_order() { [ "$status" -eq 0 ] && [ ! -e "$TMP/\$QILCD\$" ]; }
second() {  # a second start hands its address to the first window and ends at once
  timeout 20 "$orvella" "$1" >/dev/null 2>&1 || check "a second start with $1 exits 0" false
  wait_log "main window loaded $1"
}
start() {  # the program on the disc, up to its readme window; with accept, on to the start page
  : >"$work/orvella.log"
  timeout 120 "$orvella" --archive "$disc" >"$work/orvella.log" 2>&1 &
  pid=$!
  wait_log "readme loaded"
  readme=$(xdotool search --sync --onlyvisible --name "$title" | head -1)
  [ -z "${1:-}" ] || accept
}
accept() {
  xdotool mousemove --window "$readme" 640 286 click 1
  wait_log "main window loaded qilproto://qilproto_local/index.html"
  main=$(windows | head -1)
}
answer_question() {  # KEY in the close question (Escape: Cancel, Return: Yes); fails when none was asked
  local dialog
  dialog=$(other_window) || return 1
  xdotool mousemove --window "$dialog" 20 20 sleep 0.3 key "$1" sleep 0.5
}

# A window of a known size, so that clicks on pages land where their links are.
mkdir -p "$XDG_STATE_HOME/orvella"
printf '[window]\nwidth=1280\nheight=900\nzoom=1\n' >"$XDG_STATE_HOME/orvella/window.ini"
start
check "the readme window is 699x315" sh -c "xdotool getwindowgeometry '$readme' | grep -q 'Geometry: 699x315'"
accept
check "the start page's frames were answered" grep -q "answered qilproto://qilproto_local/welcome.html" "$work/orvella.log"
check "the font folder exists while the program runs" test -d "$TMP/\$QILCD\$"

copy="qilproto://qilproto_local/clipbo.stmp?type=b&id=000400"
second "$copy"
wait_log "clipboard: "
xclip -selection clipboard -t text/rtf -o >"$work/copied.rtf"
"$qilcd" get --archive "$disc" --clipboard "$work/expected.rtf" "$copy" >/dev/null
check "the clipboard holds the engine's document, pictures and all, also as application/rtf" \
  sh -c "grep -q '\\\\pict' '$work/expected.rtf' && cmp -s '$work/copied.rtf' '$work/expected.rtf' &&
         xclip -selection clipboard -t TARGETS -o | grep -qx application/rtf"

# Add to worksheet answers in a hidden frame: the page stays, no dialog opens,
# and the counter of the window is reloaded (the frames talk by message).
second "qilproto://qilproto_local/index.html?show=solution.stmp%3Fid%3D000400"
click_add() {  # again when the page was not laid out yet (slow builds)
  xdotool mousemove --window "$main" 624 144 click 1
  poll 30 grep -q "answered qilproto://qilproto_local/wadd.stmp?id=000400" "$log"
}
click_add || click_add || click_add || check "Add to worksheet asks the engine" false
counter_after_add() { sed -n '/wadd.stmp?id=000400/,$p' "$log" | grep -q "answered qilproto://qilproto_local/worksheet.stmp"; }
check "Add to worksheet reloads the counter" poll 50 counter_after_add
check "Add to worksheet opens no dialog" test "$(windows | wc -l)" -eq 1

# F1 goes to the focused window; under load focus can lag, so it is pressed again once.
press_f1() { xdotool windowfocus --sync "$main" mousemove --window "$main" 400 300 key F1 && other_window; }
about=$(press_f1 || press_f1)
check "F1 shows the about window at its picture's size" \
  sh -c "xdotool getwindowgeometry '$about' | grep -q 'Geometry: 498x314'"
[ -n "$about" ] && xdotool mousemove --window "$about" 100 100 click 1 sleep 0.5
check "a click hides the about window" test "$(windows | wc -l)" -eq 1

# The marker is only in the frame's address (escaped in the top one).
second "qilproto://qilproto_local/index.html?show=welcome.html%23CLOSE_BROWSER%23"
answer_question Escape
check "a frame's close marker asks first; Cancel keeps the window" test "$? $(windows | wc -l)" = "0 1"
second "qilproto://qilproto_local/index.html?show=main.stmp%23CLOSE_BROWSER%23"
answer_question Return
ended
check "Yes ends the program in order (status $status)" in_order

start accept
xdotool mousemove 400 300 key ctrl+plus ctrl+plus sleep 0.3
kill -TERM "$pid"
ended
check "SIGTERM ends the program in order (status $status)" in_order
check "the zoom is remembered" grep -q "^zoom=1.21" "$XDG_STATE_HOME/orvella/window.ini"

start
xdotool mousemove --window "$readme" 549 286 click 1   # Decline
ended
check "declining the readme ends the program in order (status $status), no window left" eval 'in_order && ! windows'

status=0
env -u DISPLAY -u WAYLAND_DISPLAY "$orvella" --archive "$disc" >"$work/nodisplay.log" 2>&1 || status=$?
check "without a display: status 2 (is $status) and a pointer to qilcd" \
  sh -c "[ $status -eq 2 ] && grep -q qilcd '$work/nodisplay.log'"

[ "$failures" -eq 0 ] || { echo "--- program log"; cat "$work/orvella.log"; exit 1; }
