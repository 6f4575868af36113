#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build in turn, each for the given
# number of seconds, starting from its committed corpus (fuzz/corpus/NAME).
#
#   scripts/fuzz.sh [BUILD_DIR [SECONDS [TARGET...]]]   (defaults: build-fuzz 60, all)
#
# A target fails on a crash, a sanitizer report, a broken promise, a leak, an
# input that takes over 1 s, or a single allocation over 256 MiB. The input
# that failed is saved as BUILD_DIR/findings/NAME/<kind>-<hash>: copy it into
# fuzz/corpus/NAME/ once its cause is fixed, so the replay tests keep it.
# New interesting inputs go to BUILD_DIR/corpus/NAME (not committed).
# Exit status: 0 when every target ran clean, 1 otherwise, 2 for wrong usage.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--help" ]; then
  sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
build=${1:-build-fuzz}
seconds=${2:-60}
shift $(( $# > 2 ? 2 : $# ))
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz: the time per target must be a whole number of seconds, not '$seconds'" >&2
  exit 2
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for program in "$build"/bin/fuzz_*; do
    [ -x "$program" ] && targets+=("$(basename "$program")")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets in $build/bin (build them with: make fuzz)" >&2
  exit 1
fi

failed=()
for name in "${targets[@]}"; do
  program="$build/bin/$name"
  seeds="fuzz/corpus/$name"
  work="$build/corpus/$name"
  findings="$build/findings/$name"
  log="$build/logs/$name.log"
  if [ ! -x "$program" ]; then
    echo "fuzz: $program: no such fuzz target" >&2
    failed+=("$name")
    continue
  fi
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  if [ ! -d "$seeds" ]; then
    echo "fuzz: $name: no seed corpus at $seeds; starting from nothing" >&2
    seeds=""
  fi
  # The music target also starts from the modules of the Debian packages the
  # tests compare with (plain, extended and impulse modules), where they are
  # installed.
  extra=()
  if [ "$name" = fuzz_music ]; then
    for folder in /usr/share/games/tecnoballz/musics /usr/share/games/flobopuyo/sfx \
      /usr/share/games/pingus/data/music; do
      [ -d "$folder" ] && extra+=("$folder")
    done
  fi
  echo "fuzz: $name for ${seconds} s (log: $log)"
  touch "$log.start"
  status=0
  # The first corpus folder receives new inputs, so the committed seeds stay
  # as they are.
  "$program" -max_total_time="$seconds" -timeout=1 -malloc_limit_mb=256 -rss_limit_mb=2048 \
    -detect_leaks=1 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$work" ${seeds:+"$seeds"} "${extra[@]}" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  total_seconds=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
  corpus=$(find "$work" -type f | wc -l)
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $name FAILED (exit $status) after ${runs:-?} runs; saved input:" >&2
    find "$findings" -type f -newer "$log.start" >&2 || true
    grep -m 5 -E 'ERROR|SUMMARY|broken promise|runtime error' "$log" >&2 || tail -n 20 "$log" >&2
    failed+=("$name")
  else
    echo "fuzz: $name clean: ${runs:-?} runs in ${total_seconds:-$seconds} s, $corpus inputs in $work"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: every target ran clean"
