#!/usr/bin/env bash
# Fails when a C++ source differs from .clang-format, a header lacks #pragma once (the one
# header-guard style of the tree), or a source marks a fast path that docs/fast_paths.md does
# not list. Run by scripts/test.sh before anything is built.
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
# Every shortcut marked in a source ("// Fast path: NAME") is named on the page that lists
# them with their general paths and checks.
unlisted=$({ grep -ho '// Fast path: [A-Za-z_][A-Za-z0-9_:<>]*' "${sources[@]}" || true; } | sort -u |
  while read -r _ _ _ name; do
    grep -qF -- "\`$name\`" docs/fast_paths.md || echo "$name"
  done)
if [[ -n $unlisted ]]; then
  printf 'fast paths marked in the sources but not listed in docs/fast_paths.md:\n%s\n' \
    "$unlisted" >&2
  exit 1
fi
echo "style: ${#sources[@]} sources as .clang-format has them; every header has #pragma once;" \
  "every marked fast path is listed"
