#!/usr/bin/env bash
# Installs what is needed, builds pelmo and shows what it does.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++
cmake --build build/release -j "$(nproc)" --target pelmo
build/release/app/pelmo -h
