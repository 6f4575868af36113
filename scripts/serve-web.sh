#!/usr/bin/env bash
# Serves the web page (make web builds it into build-web/) on 127.0.0.1.
# usage: serve-web.sh [SITE_DIR [PORT]]   (defaults: build-web, 8080)
set -euo pipefail
cd "$(dirname "$0")/.."
site=${1:-build-web}
port=${2:-8080}
if [ ! -f "$site/index.html" ]; then
  echo "veyrith: $site/index.html is missing; build the page with: make web" >&2
  exit 1
fi
echo "veyrith: the demo's page is served at http://127.0.0.1:$port/"
exec python3 -u -m http.server "$port" --bind 127.0.0.1 --directory "$site" 2>/dev/null
