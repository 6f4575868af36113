#!/usr/bin/env bash
# Plays the demo from build/content. Without a display it captures the demo to
# build/veyrith.mp4 instead and says where the video is.
set -euo pipefail
cd "$(dirname "$0")/../build/content"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ../bin/veyrith "$@"
fi
echo "veyrith: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); running headless instead." >&2
if ../bin/veyrith --help 2>/dev/null | grep -q -- '--capture'; then
  ../bin/veyrith --capture ../veyrith.mp4 "$@"
  echo "veyrith: the demo was captured to $(cd .. && pwd)/veyrith.mp4"
else
  exec ../bin/veyrith --headless --fps 60 "$@"
fi
