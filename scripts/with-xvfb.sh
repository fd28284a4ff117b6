#!/usr/bin/env bash
# Runs a command under a private virtual X server with Mesa's software renderer, whatever DISPLAY is.
set -euo pipefail
fifo=$(mktemp -u)
mkfifo "$fifo"
# Xvfb picks a free display number itself and writes it to the descriptor, so parallel runs never collide.
Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true; rm -f "$fifo"' EXIT
number=$(timeout 20 head -n 1 "$fifo" || true)
[ -n "$number" ] || { echo "with-xvfb: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number" LIBGL_ALWAYS_SOFTWARE=1
"$@"
