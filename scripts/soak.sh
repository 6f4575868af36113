#!/usr/bin/env bash
# The soak check: builds veyrith with the address, leak and undefined-
# behaviour sanitizers (the asan preset) and plays the whole schedule with
# it: a headless run, a capture of the whole music to a WAV file and a
# capture of a part of the demo to a video. Fails on any sanitizer report,
# any leak, or a run that does not exit 0.
#
#   scripts/soak.sh                 (make soak)
#   SOAK_FPS=60 scripts/soak.sh     frame rate of the headless run (default 10)
#   SOAK_VIDEO=0 scripts/soak.sh    leave out the video capture
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-asan
fps=${SOAK_FPS:-10}
jobs=${JOBS:-2}

echo "soak: building veyrith and the default content in $build (asan preset)"
# An existing build folder keeps its settings unless WERROR is given, so
# that a soak after "make asan WERROR=ON" does not rebuild everything.
if [ -n "${WERROR:-}" ] || [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset asan -DVEYRITH_WERROR="${WERROR:-OFF}" >/dev/null
fi
cmake --build "$build" --target veyrith content -j"$jobs" >/dev/null

out=$(mktemp -d /tmp/veyrith-soak-XXXXXX)
trap 'rm -rf "$out"' EXIT
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:exitcode=66"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

failures=0
# soak_run NAME ARGS...: one run in the content folder, timed and checked.
soak_run() {
  local name=$1
  shift
  local log="$out/$name.log"
  local begin=$SECONDS status=0
  (cd "$build/content" && ../bin/veyrith "$@") >"$log" 2>&1 || status=$?
  local took=$((SECONDS - begin))
  if [ "$status" -ne 0 ] || grep -qE 'Sanitizer|runtime error' "$log"; then
    echo "soak: $name FAILED (exit $status, ${took} s): veyrith $*" >&2
    sed 's/^/  | /' "$log" | tail -n 60 >&2
    failures=$((failures + 1))
  else
    echo "soak: $name ok in ${took} s: veyrith $*"
  fi
}

start=$SECONDS
soak_run headless --headless --fps "$fps"
soak_run music-wav --capture "$out/music.wav"
if [ "${SOAK_VIDEO:-1}" != 0 ] && command -v ffmpeg >/dev/null; then
  soak_run part-video --capture "$out/part.mp4" --from 96 --to 100
fi
echo "soak: $failures failure(s) in $((SECONDS - start)) s of runs"
[ "$failures" -eq 0 ]
