#!/usr/bin/env bash
# Installs what is needed, checks that every source is formatted as .clang-format says, then
# builds and tests three times: a release build with warnings as errors (g++), a debug build
# with AddressSanitizer and UndefinedBehaviorSanitizer (clang), which also replays the fuzz
# targets' corpora, and the Windows build (mingw-w64), whose tests run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
bash scripts/check_style.sh

# build_and_test DIR CMAKE-OPTIONS...: the per-test time-out is $test_timeout seconds unless a
# test sets its own, and extra CTest options come from the array test_options.
test_timeout=300
test_options=()
build_and_test() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout "$test_timeout" \
    "${test_options[@]}"
}

build_and_test build/release -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DPELMO_WERROR=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  build_and_test build/sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DPELMO_WERROR=ON -DPELMO_SANITIZE=ON -DPELMO_BENCH=OFF -DPELMO_FUZZ=ON

# One Wine server kept for the whole stage: each Windows program then starts in a fraction of
# a second instead of about three.
windows_stage() {
  local dir=build/windows
  local started=$SECONDS
  export WINEPREFIX=$PWD/$dir/wineprefix WINEDEBUG=-all
  # Not local: the EXIT trap, which stops the server if the stage fails, runs outside.
  wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
  # The server first, so that the prefix's first start already finds it (a server already
  # there, left by an interrupted run, says so and is used).
  mkdir -p "$WINEPREFIX"
  "$wineserver" -p || true
  trap '"$wineserver" -k || true' EXIT
  scripts/wine_run.sh "$WINEPREFIX" wineboot --init
  # Now and then Wine fails to start a Windows test program (no output at all), or the program
  # finishes its tests and then never exits.
  # Such a test is stopped after a minute and run again; a test that really hangs hangs
  # every time and fails.
  test_timeout=60
  test_options=(--repeat until-pass:3)
  build_and_test "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DPELMO_WERROR=ON -DPELMO_LINUX_BUILD_DIR="$PWD/build/release"
  "$wineserver" -k || true
  trap - EXIT
  echo "windows stage: $((SECONDS - started)) s"
}
windows_stage
