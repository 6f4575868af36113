#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Veyrith need.
# Only Debian packages are fetched; nothing else is downloaded.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config clang-format
  # fuzzing (make fuzz): clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-dev
  # libraries the program links
  libsdl2-dev libpng-dev libimgui-dev libfreetype-dev fonts-dejavu-core
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-utils
  # independent references used only by the test suite and benchmarks
  imagemagick ffmpeg lib3ds-dev assimp-testmodels
  libopenmpt-dev openmpt123 libxmp-dev xmp pingus-data pachi-data
  tecnoballz-data flobopuyo
  libosmesa6-dev
  # the web page (make web) and its test in a headless browser
  emscripten chromium-headless-shell
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "veyrith: these Debian packages are missing: ${missing[*]}" >&2
  echo "veyrith: install them as root with:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "veyrith: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
