#!/usr/bin/env bash
# wine_run.sh PREFIX PROGRAM.exe [ARGS...]: runs a Windows program under Wine in PREFIX,
# creating the prefix on first use. Quiet and non-interactive, so that it works in CI (root,
# no display): no debug channels, and no offer to install Mono or Gecko, which nothing here
# needs. Exit code and output are the program's.
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
if [[ ! -f $prefix/system.reg ]]; then
  # Test programs are discovered in parallel: one of them makes the prefix, the others wait.
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    # The lock's descriptor is closed for Wine: the server and services that wineboot leaves
    # running would otherwise hold the lock, and every later start would wait on it.
    [[ -f $prefix/system.reg ]] || "$wine" wineboot --init >/dev/null 2>&1 9>&- || true
  ) 9>"$prefix.lock"
fi
exec "$wine" "$@"
