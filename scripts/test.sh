#!/usr/bin/env bash
# Runs the test suite of one build folder; further arguments go to ctest
# (`-L threads`: only the tests that start threads). The tests that open
# windows get a virtual display (Xvfb) when no display is there.
set -euo pipefail
build=${1:-build}
shift $(( $# > 0 ? 1 : 0 ))
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
ctest_command=(ctest --test-dir "$build" --output-on-failure -j2 --timeout 900 "$@")
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  xvfb-run -a -s "-screen 0 1024x768x24" "${ctest_command[@]}"
else
  "${ctest_command[@]}"
fi
