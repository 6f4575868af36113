#!/usr/bin/env bash
# Builds the web page into build-web/: the program through emscripten (its
# build folder is build-wasm/), the page's own files, and the default content
# made by the native vrtool (built first, in build/), the same bytes as the
# native program's. Any web server can serve the folder as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
werror=${WERROR:-OFF}
# Debian's emscripten finds its JavaScript modules only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
if ! command -v emcmake >/dev/null 2>&1; then
  echo "veyrith: emscripten is missing; install it with: make deps" >&2
  exit 1
fi
cmake --preset release -DVEYRITH_WERROR="$werror" >/dev/null
cmake --build build -j"$jobs" --target vrtool
emcmake cmake -S . -B build-wasm -DCMAKE_BUILD_TYPE=Release -DVEYRITH_WERROR="$werror" \
  -DVEYRITH_WEB_SITE="$PWD/build-web" >/dev/null
cmake --build build-wasm -j"$jobs"
build/bin/vrtool content build build-web
echo "veyrith: the page is in build-web/ (make serve-web serves it)"
