#!/usr/bin/env bash
# Builds pelmo.exe with the mingw-w64 cross compiler and packs it with a short text on its
# use into build/windows/pelmo-VERSION-win64.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
dir=build/windows
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" --target pelmo
version=$(sed -n 's/^project(pelmo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=$dir/package/pelmo-$version-win64
rm -rf "$dir/package"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/pelmo.exe" "$dir/app/pelmo.exe"
# Windows line ends, so that Notepad on any Windows shows the lines.
sed -e "s/VERSION/$version/" -e 's/$/\r/' docs/windows/README.txt >"$stage/README.txt"
zip="$PWD/$dir/pelmo-$version-win64.zip"
rm -f "$zip"
(cd "$dir/package" && zip -q -r -X "$zip" "pelmo-$version-win64")
echo "$zip"
