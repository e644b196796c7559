#!/usr/bin/env bash
# The real program on the demo disc, as a student uses it, under a virtual
# display (run through with-display.sh):
#  - the readme window appears first, at its size; accepting it shows the
#    main window on the start page;
#  - a second start with an address opens it in the first window and exits 0
#    (a list, then a problem, then a copy of the problem);
#  - the copy is read back from the X clipboard as RTF with the problem's
#    pictures in it;
#  - F1 shows the about window at its picture's size, a click hides it;
#  - a marker in a frame's navigation asks to quit: Cancel keeps the
#    window, Yes ends the program;
#  - SIGTERM ends the program, the font folder is gone and the zoom is kept;
#  - declining the readme ends the program with no window left;
#  - without a display the program says so and points to qilcd.
#
#   desktop_session.sh ORVELLA QILCD DISC
set -uo pipefail   # no -e: every check reports, and the run goes on
orvella=$1 qilcd=$2 disc=$3
title="Brenlowe: Orvella v1.00"
work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill -9 "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
export TMP=$work/tmp XDG_STATE_HOME=$work/state G_MESSAGES_DEBUG=orvella
mkdir -p "$TMP"
failures=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

# wait_log PATTERN: waits up to 30 s for a line of the program's log.
wait_log() {
  for _ in $(seq 300); do
    grep -q -- "$1" "$work/orvella.log" && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "FAILED: not in the log: $1"
  failures=$((failures + 1))
  return 1
}

# other_window: a visible window of the program other than the main window.
other_window() {
  xdotool search --onlyvisible --name "$title" 2>/dev/null | grep -vx "$main" | head -1 || true
}
# ended: waits up to 10 s for the program to end; its exit status in status.
ended() {
  status=0
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  wait "$pid" || status=$?
  pid=""
}

# await_other_window TENTHS: other_window, waited for up to TENTHS tenths of a second.
await_other_window() {
  local found=""
  for _ in $(seq "$1"); do
    found=$(other_window)
    [ -n "$found" ] && break
    sleep 0.1
  done
  echo "$found"
}

readme_window() { xdotool search --sync --onlyvisible --name "$title" | head -1; }

# second ADDRESS: a second start; checks that it exits 0 and the first window loads ADDRESS.
second() {
  local status=0
  timeout 20 "$orvella" "$1" >"$work/second.log" 2>&1 || status=$?
  check "second start with $1 exits 0" test "$status" -eq 0
  wait_log "main window loaded $1"
}

start() {
  : >"$work/orvella.log"
  timeout 120 "$orvella" --archive "$disc" >"$work/orvella.log" 2>&1 &
  pid=$!
  wait_log "readme loaded"
}

# -- A student's run.
start
window=$(readme_window)
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
check "the readme window is 699x315 (is $geometry)" test "$geometry" = "699x315"
check "the font folder exists while the program runs" test -d "$TMP/\$QILCD\$"
xdotool mousemove --window "$window" 640 286 click 1   # Accept
wait_log "main window loaded qilproto://qilproto_local/index.html"
check "the start page's frames were answered" grep -q "answered qilproto://qilproto_local/welcome.html" "$work/orvella.log"

second "qilproto://qilproto_local/mathlist.stmp?main=B&sub=01&packet=2"
second "qilproto://qilproto_local/solution.stmp?id=000400"
second "qilproto://qilproto_local/clipbo.stmp?type=b&id=000400"
wait_log "clipboard: "
xclip -selection clipboard -t text/rtf -o >"$work/copied.rtf"
"$qilcd" get --archive "$disc" --clipboard "$work/expected.rtf" \
  "qilproto://qilproto_local/clipbo.stmp?type=b&id=000400" >/dev/null
pictures=$(grep -o '\\pict' "$work/copied.rtf" | wc -l)
check "the copy holds the problem's pictures ($pictures)" test "$pictures" -ge 2
check "the copy is the document the engine made" cmp -s "$work/copied.rtf" "$work/expected.rtf"
check "the copy is offered as application/rtf too" \
  sh -c "xclip -selection clipboard -t TARGETS -o | grep -qx application/rtf"

visible() { xdotool search --onlyvisible --name "$title" 2>/dev/null | wc -l; }
main=$(xdotool search --onlyvisible --name "$title" | head -1)
xdotool mousemove --window "$main" 400 300 key F1 || true
about=$(await_other_window 50)
check "F1 shows the about window" test -n "$about"
check "the about window has the picture's size" \
  sh -c "xdotool getwindowgeometry '$about' | grep -q 'Geometry: 498x314'"
if [ -n "$about" ]; then xdotool mousemove --window "$about" 100 100 click 1 || true; fi
sleep 0.5
check "a click hides the about window" test "$(visible)" -eq 1

# answer_question KEY: presses KEY in the close question (Escape: Cancel, Return: Yes).
answer_question() {
  local dialog
  dialog=$(await_other_window 100)
  check "the close question is asked" test -n "$dialog"
  [ -n "$dialog" ] || return 0
  xdotool mousemove --window "$dialog" 20 20 || true
  sleep 0.3
  xdotool key "$1" || true
  sleep 0.5
}
# A marker in a frame's navigation asks to quit; Cancel keeps the window.
second "qilproto://qilproto_local/index.html?show=welcome.html%23CLOSE_BROWSER%23"
answer_question Escape
check "the frame's own navigation carried the marker" \
  grep -q "close marker in qilproto://qilproto_local/welcome.html#CLOSE_BROWSER#" "$work/orvella.log"
check "Cancel keeps the window open" test "$(visible)" -eq 1
kill -0 "$pid"
second "qilproto://qilproto_local/index.html?show=main.stmp%23CLOSE_BROWSER%23"
answer_question Return
ended
check "Yes ends the program in order (status $status)" test "$status" -eq 0
check "the font folder is gone" test ! -e "$TMP/\$QILCD\$"
check "shutdown was logged" grep -q "main loop ended" "$work/orvella.log"

# -- SIGTERM is an orderly shutdown too.
start
xdotool mousemove --window "$(readme_window)" 640 286 click 1
wait_log "main window loaded qilproto://qilproto_local/index.html"
xdotool mousemove 400 300 key ctrl+plus ctrl+plus
sleep 0.3
kill -TERM "$pid"
ended
check "SIGTERM ends the program in order (status $status)" test "$status" -eq 0
check "the font folder is gone after SIGTERM" test ! -e "$TMP/\$QILCD\$"
check "the zoom is remembered" grep -q "^zoom=1.21" "$XDG_STATE_HOME/orvella/window.ini"

# -- Declining the readme.
start
window=$(readme_window)
xdotool mousemove --window "$window" 549 286 click 1   # Decline
ended
check "declining ends the program (status $status)" test "$status" -eq 0
check "no window is left" sh -c "! xdotool search --onlyvisible --name '$title' >/dev/null 2>&1"
check "the font folder is gone after declining" test ! -e "$TMP/\$QILCD\$"

# -- No display.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY "$orvella" --archive "$disc" >"$work/nodisplay.log" 2>&1 || status=$?
check "without a display the exit status is 2 (is $status)" test "$status" -eq 2
check "without a display the message points to qilcd" grep -q "qilcd" "$work/nodisplay.log"

if [ "$failures" -ne 0 ]; then
  echo "--- program log"; cat "$work/orvella.log"
  exit 1
fi
