#!/usr/bin/env bash
# Installs the Debian packages that building, testing and benchmarking pelmo need.
# Does nothing when they are all present.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libcurl4-openssl-dev libcpp-httplib-dev
          libgtest-dev libgmock-dev libbenchmark-dev pkg-config curl libxml2-dev
          libssl-dev openssl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
