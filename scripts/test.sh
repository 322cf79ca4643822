#!/usr/bin/env bash
# Installs what is needed, checks that every source is formatted as .clang-format says, then
# builds and tests twice: a release build with warnings as errors (g++), and a debug build
# with AddressSanitizer and UndefinedBehaviorSanitizer (clang), which also replays the fuzz
# targets' corpora.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
bash scripts/check_style.sh

build_and_test() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

build_and_test build/release -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DPELMO_WERROR=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  build_and_test build/sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DPELMO_WERROR=ON -DPELMO_SANITIZE=ON -DPELMO_BENCH=OFF -DPELMO_FUZZ=ON
