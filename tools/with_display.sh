#!/usr/bin/env bash
# Runs a command with an X display: the current one, or a private Xvfb server
# started for the command and stopped after it.
set -u
# Mesa draws in software, so pictures match on every machine.
export LIBGL_ALWAYS_SOFTWARE=1
if [ -n "${DISPLAY:-}" ] || ! command -v Xvfb >/dev/null 2>&1; then
  exec "$@"
fi
for n in $(seq 90 140); do
  [ -e "/tmp/.X${n}-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null' EXIT
for _ in $(seq 1 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
DISPLAY="$display" "$@"
