# Sourced by the scripted desktop tests: checks that count their failures,
# polling with a bound, and waiting for a line of the program's log ($log).
failures=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
poll() {  # poll TENTHS COMMAND...: COMMAND every 0.1 s until it succeeds, at most TENTHS times
  for _ in $(seq "$1"); do "${@:2}" && return 0; sleep 0.1; done
  return 1
}
wait_log() { poll 300 grep -q -- "$1" "$log" || check "the log shows: $1" false; }
