#!/usr/bin/env bash
# Installs the Debian packages that building, testing and benchmarking pelmo need.
# Does nothing when they are all present.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libcurl4-openssl-dev libcpp-httplib-dev
          libgtest-dev libgmock-dev libbenchmark-dev pkg-config curl libxml2-dev
          locales mandoc libssl-dev openssl clang-format
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 zip python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The terminal tests show notes in a UTF-8 locale and in a Latin-1 one, which cannot take
# Japanese characters; generate those that are missing.
locales=("en_US.UTF-8 UTF-8" "en_US ISO-8859-1")
generate=0
for entry in "${locales[@]}"; do
  if ! grep -qx "$entry" /etc/locale.gen; then
    echo "$entry" >>/etc/locale.gen
    generate=1
  fi
done
available=$(locale -a)
for name in en_US.utf8 en_US; do
  grep -qx "$name" <<<"$available" || generate=1
done
if ((generate)); then
  locale-gen >/dev/null
fi
