#!/usr/bin/env bash
# Runs a command with a display and a D-Bus session of its own: a virtual X
# server (Xvfb) on a free display number and a private session bus, both
# stopped when the command ends.   with-display.sh COMMAND [ARGS...]
set -euo pipefail
display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "with-display: no free display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
[ -e "/tmp/.X11-unix/X$display" ] || { echo "with-display: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display" LIBGL_ALWAYS_SOFTWARE=1  # a renderer without a GPU draws in software
unset WAYLAND_DISPLAY
dbus-run-session -- "$@"
