#!/usr/bin/env bash
# The main job: installs what is needed, builds pelmo and the sample quote service, starts
# the service on a free port of 127.0.0.1, downloads the daily history of code 7203 (which
# has stock splits) since 2000 with split adjustment, and shows the head and tail of the
# file written. The service is stopped on the way out.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++
cmake --build build/release -j "$(nproc)" --target pelmo quote-server

work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

build/release/tools/quote_server/quote-server --port 0 --log "$work/requests.log" \
  >"$work/port" 2>/dev/null &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -n 1 "$work/port")
echo "sample quote service on 127.0.0.1:$port"

# On a terminal pelmo shows its progress, the split notes in the terminal's character set
# and a closing line; elsewhere its standard error holds the notes' Shift_JIS bytes, which
# are kept aside here.
set +e
if [ -t 2 ]; then
  (cd "$work" && "$OLDPWD/build/release/app/pelmo" --host "127.0.0.1:$port" -a \
    -s 2000/01/01 7203)
  status=$?
else
  (cd "$work" && "$OLDPWD/build/release/app/pelmo" --host "127.0.0.1:$port" -a \
    -s 2000/01/01 7203 2>notes.txt)
  status=$?
  echo "note rows on standard error: $(wc -l <"$work/notes.txt")"
fi
set -e
echo "pelmo exit code: $status; requests: $(wc -l <"$work/requests.log"); rows: $(wc -l <"$work/7203.csv")"
labels="date, open, high, low, close, volume (all rescaled for splits), close before rescaling"
echo "--- head of 7203.csv ($labels)"
head -n 5 "$work/7203.csv"
echo "--- tail of 7203.csv"
tail -n 5 "$work/7203.csv"
exit "$status"
