#!/usr/bin/env bash
# Fails when a C++ source differs from .clang-format, a header lacks #pragma once (the one
# header-guard style of the tree), a source marks a fast path that docs/fast_paths.md does
# not list, or an include goes against the direction of the folders and of app's rooms. Run
# by scripts/test.sh before anything is built.
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
# Includes go one way: the folders below app include nothing of it, their tests neither, and
# the code in app's rooms only rooms below it (output, then download, then console, then codes;
# each may use app's failure messages, codes the command line too). Tests in the rooms may include anything.
include_rules=(
  'base|platform|html|net|dates|records|quote:^$:'
  'app/output:^app/(output/|failure_message\.h):(_test\.cpp|_for_test\.h|_test_util\.h)$'
  'app/download:^app/(output/|download/|failure_message\.h):(_test\.cpp|_for_test\.h)$'
  'app/console:^app/(output/|download/|console/|failure_message\.h):(_test\.cpp|_for_test\.h)$'
  'app/codes:^app/(output/|download/|console/|codes/|failure_message\.h|command_line\.h):(_test\.cpp|_for_test\.h)$'
)
wrong_includes=$(for rule in "${include_rules[@]}"; do
  IFS=: read -r folders allowed tests <<<"$rule"
  printf '%s\n' "${sources[@]}" | grep -E "^($folders)/" | grep -vE "${tests:-^$}" |
    while read -r file; do
      { grep -o '^#include "app/[^"]*"' "$file" || true; } | cut -d'"' -f2 |
        { grep -vE "$allowed" || true; } | sed "s|^|$file: |"
    done
done)
if [[ -n $wrong_includes ]]; then
  printf 'includes against the direction app -> codes -> console -> download -> output:\n%s\n' \
    "$wrong_includes" >&2
  exit 1
fi
echo "style: ${#sources[@]} sources as .clang-format has them; every header has #pragma once;" \
  "every marked fast path is listed; includes go one way"
