#!/usr/bin/env bash
# Sharing with the class from the real program (run through with-display.sh):
# the application's "share" action, called over D-Bus, starts the classroom
# server on the open disc and shows its address; the disc's start page comes
# from that port on loopback; the action again stops the server; with port
# 8080 taken the server goes to a free port; quitting stops a running server.
#
#   desktop_share.sh ORVELLA QILCD DISC
set -uo pipefail   # no -e: every check reports, and the run goes on
orvella=$1 qilcd=$2 disc=$3
title="Brenlowe: Orvella v1.00"
work=$(mktemp -d)
log=$work/orvella.log
pid="" holder="" server="" port=""
trap 'kill -9 $pid $holder $server 2>/dev/null; rm -rf "$work"' EXIT
export TMP=$work/tmp XDG_STATE_HOME=$work/state G_MESSAGES_DEBUG=orvella
mkdir -p "$TMP"
. "$(dirname "$0")/checks.sh"
app() {  # app METHOD ARGS...: the program's actions over D-Bus
  timeout 20 gdbus call --session --dest org.brenlowe.Orvella --object-path /org/brenlowe/Orvella \
    --method "org.gtk.Actions.$1" "${@:2}"
}
sharing() { app Describe share | grep -q "<$1>"; }
dialog() { xdotool search --onlyvisible --name "^Share with the class\$" >/dev/null 2>&1; }
gone() { poll 100 eval '! kill -0 "$server" 2>/dev/null'; }
served() {  # the start page from the server's port on loopback is the disc's
  rm -f "$work/served.html"
  curl -s --max-time 10 -o "$work/served.html" "http://127.0.0.1:$port/index.html" &&
    cmp -s "$work/served.html" "$work/expected.html"
}
# share: the action, then the server's pid and port once the dialog shows its addresses.
share() {
  local shown
  shown=$(grep -c "sharing: students open" "$log")
  app Activate share '[]' '{}' >/dev/null
  poll 300 eval '[ "$(grep -c "sharing: students open" "$log")" -gt "$shown" ]' || return 1
  server=$(sed -n 's/.*sharing: started .* (pid \([0-9]*\)).*/\1/p' "$log" | tail -1)
  port=$(sed -n 's|.*the server says: Listening on http://.*:\([0-9]*\)/$|\1|p' "$log" | tail -1)
  [ -n "$server" ] && [ -n "$port" ]
}

# Not under timeout(1): it would send SIGTERM twice, the second one perhaps
# after the program's own handler is gone. The trap ends the program.
"$orvella" --archive "$disc" >"$log" 2>&1 &
pid=$!
wait_log "readme loaded"
readme=$(xdotool search --sync --onlyvisible --name "$title" | head -1)
xdotool mousemove --window "$readme" 640 286 click 1   # Accept
wait_log "main window loaded qilproto://qilproto_local/index.html"

check "activating app.share starts the server and shows its address" share
check "the server is the one next to the program" \
  grep -q "sharing: started $(dirname "$orvella")/orvella-serve (pid" "$log"
check "the dialog is shown and the action's state is on" eval 'poll 50 dialog && sharing true'
"$qilcd" cat "$disc" index.html >"$work/expected.html"
check "the server on port $port answers the disc's start page" served
app Activate share '[]' '{}' >/dev/null
check "activating it again stops the server, closes the dialog, turns the state off" \
  eval 'gone && ! dialog && sharing false'

# Hold port 8080 on loopback (when someone else holds it, it is taken all the same).
python3 -c 'import socket, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 8080)); s.listen(); print("held", flush=True); time.sleep(120)' \
  >"$work/holder" 2>&1 &
holder=$!
poll 50 eval 'grep -q held "$work/holder" || ! kill -0 "$holder" 2>/dev/null'
check "with port 8080 taken, the server listens on another port" eval 'share && [ "$port" != 8080 ]'
check "and answers there" served
kill "$holder" && wait "$holder" 2>/dev/null
holder=""

kill -TERM "$pid"
poll 150 eval '! kill -0 "$pid" 2>/dev/null'
kill -9 "$pid" 2>/dev/null   # when it did not end, so that the wait is bounded
status=0
wait "$pid" || status=$?
pid=""
check "quitting ends the program (status $status) and the server" eval '[ "$status" -eq 0 ] && gone'

[ "$failures" -eq 0 ] || { echo "--- program log"; cat "$log"; exit 1; }
