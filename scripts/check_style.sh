#!/usr/bin/env bash
# Fails when a C++ source differs from .clang-format, or a header lacks #pragma once (the one
# header-guard style of the tree). Run by scripts/test.sh before anything is built.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run -Werror "${sources[@]}"
mapfile -t headers < <(git ls-files '*.h')
missing=$(grep -L '^#pragma once' "${headers[@]}" || true)
if [[ -n $missing ]]; then
  printf 'headers without #pragma once:\n%s\n' "$missing" >&2
  exit 1
fi
echo "style: ${#sources[@]} sources as .clang-format has them; every header has #pragma once"
