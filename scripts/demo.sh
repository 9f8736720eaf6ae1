#!/bin/sh
# Runs tervalingo on the shipped root in build/root. With no display it runs
# headless for a fixed number of frames and writes a screenshot.
set -eu
cd "$(dirname "$0")/.."
ROOT="$(pwd)/build/root"
cd "$ROOT/System"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
  export TVL_EXIT_AFTER_FRAMES="${TVL_EXIT_AFTER_FRAMES:-300}"
  export TVL_SCREENSHOT="${TVL_SCREENSHOT:-$ROOT/demo.png}"
  export TVL_SCREENSHOT_FRAME="${TVL_SCREENSHOT_FRAME:-250}"
fi
exec ./tervalingo "$@"
