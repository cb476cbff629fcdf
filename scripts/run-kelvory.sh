#!/usr/bin/env bash
# Starts the program. Without a display it starts under a virtual one (Xvfb), where it
# runs but cannot be seen; on a desktop it opens as usual.
set -euo pipefail
exe=$1
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Kelvory under Xvfb (invisible). Run 'make run' from a desktop session to see it." >&2
  exec xvfb-run -a "$exe"
fi
exec "$exe"
