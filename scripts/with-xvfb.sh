#!/usr/bin/env bash
# Runs a command under a private virtual X server with Mesa's software renderer, whatever DISPLAY is.
set -euo pipefail
# Xvfb picks a free display number itself and reports it once it accepts connections, so that runs
# started side by side cannot end up sharing (and losing) one server.
number=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true; rm -f "$number"' EXIT
for _ in $(seq 100); do
  [ -s "$number" ] && break
  sleep 0.1
done
[ -s "$number" ] || { echo "with-xvfb: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$number")" LIBGL_ALWAYS_SOFTWARE=1
"$@"
