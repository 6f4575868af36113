#!/usr/bin/env bash
# The web page against the native program in headless Chromium
# (tests/web/web_page_test.py), when the page has been built (make web).
# usage: web-test.sh [BUILD_DIR] [--whole]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift $(( $# > 0 ? 1 : 0 ))
if [ ! -f build-web/veyrith.wasm ] || [ ! -f build-web/index.html ]; then
  echo "veyrith: web page test skipped: build-web/ has no page (make web builds it)"
  exit 0
fi
exec python3 tests/web/web_page_test.py "$build/bin" build-web "$@"
