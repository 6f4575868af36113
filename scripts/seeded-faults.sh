#!/usr/bin/env bash
# Applies hand-seeded faults to the source one at a time, rebuilds the test
# program that should notice, runs it and reports which faults survive.
#
# Each fault is a patch file under tests/faults/ (any depth): a unified diff
# against the repository root, as `git diff` writes it, preceded by header lines
#   # test: test_scene            the test program that must fail (build/bin/NAME)
#   # why: what a developer got wrong
# A fault that no longer applies is reported as stale, so the list is kept
# honest when the code moves on.
#
# Usage: scripts/seeded-faults.sh [PATCH...]   (default: every patch)
# A test program that runs longer than FAULTS_TIMEOUT seconds (default 180)
# is stopped, and a fault that makes it hang counts as caught.
# Exit status: 0 when every fault is caught, 1 when any survives or is stale.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${FAULTS_BUILD:-build-faults}
# A relative name is a folder of this tree (the ignored build-* ones keep
# git clean); an absolute one is taken as it is.
case $build in
  /*) ;;
  *) build=$root/$build ;;
esac

if [ $# -gt 0 ]; then
  patches=("$@")
else
  mapfile -t patches < <(find tests/faults -name '*.patch' | sort)
fi
if [ ${#patches[@]} -eq 0 ]; then
  echo "seeded-faults: no patches under tests/faults" >&2
  exit 1
fi

# The faults are applied to a scratch copy of the tracked tree, never to the
# working tree, so an interrupted run cannot leave a fault behind.
# The copy sits at a fixed place beside the build folder, so the build's cache
# stays valid from one run to the next and only what a fault touches is rebuilt.
scratch="$build.source"
# The copy lies inside this work tree, where git would apply a patch relative
# to the repository and skip every path outside the copy: keep git from
# finding the repository above it.
export GIT_CEILING_DIRECTORIES="$root"
mkdir -p "$scratch"
# A file is copied only where it differs (a source edited since, or a fault
# left behind by an interrupted run), and then gets a new time, so make rebuilds it.
git ls-files -z | while IFS= read -r -d '' file; do
  if ! cmp -s "$file" "$scratch/$file"; then
    mkdir -p "$scratch/$(dirname "$file")" && cp "$file" "$scratch/$file"
  fi
done
# A file the tree no longer tracks goes from the copy too: the build takes
# every test source of a folder, so a stale one would break it.
comm -23 <(cd "$scratch" && find . -type f -printf '%P\n' | sort) <(git ls-files | sort) |
  while IFS= read -r file; do rm -f "$scratch/$file"; done
# A build folder configured from another copy cannot be reused.
if [ -f "$build/CMakeCache.txt" ] &&
  ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$scratch" "$build/CMakeCache.txt"; then
  rm -rf "${build:?}"
fi
cmake -S "$scratch" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -DNDEBUG" -DVEYRITH_BENCH=OFF >/dev/null || exit 1

# Programs that open windows get a virtual display when there is none.
display=()
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  display=(xvfb-run -a -s "-screen 0 1024x768x24")
fi

# build_and_run PROGRAM: builds it (and, for the tools' and the shell's tests,
# the default content they run on, made by a generator a fault may touch; a
# shell test that finds no content skips, which would hide a fault) and runs it.
# 2 when it does not build, else the program's own status.
build_and_run() {
  local targets=("$1")
  case $1 in test_tools | test_shell) targets+=(content) ;; esac
  cmake --build "$build" --target "${targets[@]}" -j"$(nproc)" >/dev/null 2>&1 || return 2
  (cd "$build" && SDL_AUDIODRIVER=dummy timeout "${FAULTS_TIMEOUT:-180}" "${display[@]}" "bin/$1" >/dev/null 2>&1) ||
    return 1
}

# A fault counts as caught only where its program passes without it.
declare -A clean
for patch in "${patches[@]}"; do
  program=$(sed -n 's/^# test: *//p' "$patch" | head -1)
  [ -z "$program" ] || [ -n "${clean[$program]:-}" ] && continue
  if build_and_run "$program"; then clean[$program]=yes; else clean[$program]=no; fi
  [ "${clean[$program]}" = yes ] || echo "seeded-faults: $program fails without any fault" >&2
done

caught=0 survived=0 stale=0
for patch in "${patches[@]}"; do
  test_program=$(sed -n 's/^# test: *//p' "$patch" | head -1)
  why=$(sed -n 's/^# why: *//p' "$patch" | head -1)
  name=${patch#tests/faults/}
  if [ -z "$test_program" ]; then
    echo "STALE    $name: no '# test:' line" ; stale=$((stale + 1)); continue
  fi
  if [ "${clean[$test_program]}" != yes ]; then
    echo "STALE    $name: $test_program fails without the fault"; stale=$((stale + 1)); continue
  fi
  if ! git -C "$scratch" apply --unidiff-zero "$root/$patch" 2>/dev/null; then
    echo "STALE    $name: does not apply"; stale=$((stale + 1)); continue
  fi
  status=0
  build_and_run "$test_program" || status=$?
  case $status in
    0) result="SURVIVED $name: $why"; survived=$((survived + 1)) ;;
    2) result="STALE    $name: does not build"; stale=$((stale + 1)) ;;
    *) result="CAUGHT   $name"; caught=$((caught + 1)) ;;
  esac
  echo "$result"
  git -C "$scratch" apply -R --unidiff-zero "$root/$patch"
done
echo "seeded faults: $caught caught, $survived survived, $stale stale"
[ $survived -eq 0 ] && [ $stale -eq 0 ]
