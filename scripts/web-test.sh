#!/usr/bin/env bash
# The web page against the native program in headless Chromium
# (tests/web/web_page_test.py), and the board's pixel-path equivalence tests
# built for the page, when the page has been built (make web).
# usage: web-test.sh [BUILD_DIR] [--whole]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift $(( $# > 0 ? 1 : 0 ))
if [ ! -f build-web/veyrith.wasm ] || [ ! -f build-web/index.html ]; then
  echo "veyrith: web page test skipped: build-web/ has no page (make web builds it)"
  exit 0
fi
# The board's pixel paths as the page runs them, under node (emscripten's
# loader reads the .wasm file itself only with node's fetch turned off).
if [ -f build-wasm/bin/test_board_web.js ]; then
  node --no-experimental-fetch build-wasm/bin/test_board_web.js
fi
exec python3 tests/web/web_page_test.py "$build/bin" build-web "$@"
