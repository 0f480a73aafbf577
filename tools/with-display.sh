#!/bin/sh
# Runs a command with an X display: the current one, or a private Xvfb that is
# started for the command and stopped after it.
set -eu
if [ -n "${DISPLAY:-}" ]; then
    exec "$@"
fi
display=":$(( ($$ % 400) + 100 ))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT INT TERM
for _ in 1 2 3 4 5 6 7 8 9 10; do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.3
done
echo "No display: running under Xvfb on $display" >&2
DISPLAY="$display" "$@"
