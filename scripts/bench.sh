#!/usr/bin/env bash
# Builds pelmo, quote-server and peer_bench (g++, Release), starts a quote-server on loopback
# and prints a table: the page step and the EUC-JP conversion next to libxml2 and iconv, the
# 1990-2026 daily download next to one curl process fetching the same addresses, and the
# merge of 10,000 and 20,000 existing rows. Every figure is the median of RUNS runs.
#
#   scripts/bench.sh [RUNS]        (default 5; BUILD_DIR overrides build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${BUILD_DIR:-build/bench}
bash scripts/setup.sh

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ \
  -DPELMO_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target pelmo quote-server peer_bench child_usage >/dev/null
bin=$(cd "$build" && pwd)

work=$(mktemp -d)
server_pid=
cleanup() {
  if [[ -n $server_pid ]]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

"$bin/tools/quote_server/quote-server" --port 0 --log "$work/requests.log" \
  >"$work/port" 2>/dev/null &
server_pid=$!
for _ in $(seq 50); do
  [[ -s $work/port ]] && break
  sleep 0.1
done
port=$(head -n 1 "$work/port")
host=127.0.0.1:$port

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# (c) The whole download. The first run writes the request log that curl replays.
download() {
  rm -rf "$work/out" && mkdir "$work/out"
  (cd "$work/out" &&
    "$bin/bench/child_usage" "$work/time" "$bin/app/pelmo" --host "$host" -s 1990/01/01 -e 2026/12/31 7203 2>"$work/pelmo.err")
  cat "$work/time"
}
download >/dev/null
cp "$work/requests.log" "$work/urls"
requests=$(wc -l <"$work/urls")
curl_args=()
while read -r path; do
  curl_args+=(-o /dev/null "http://$host$path")
done <"$work/urls"
replay() {
  "$bin/bench/child_usage" "$work/time" curl -s "${curl_args[@]}"
  cat "$work/time"
}
: >"$work/pelmo.times"
: >"$work/curl.times"
for _ in $(seq "$runs"); do
  download >>"$work/pelmo.times"
  replay >>"$work/curl.times"
done
rows=$(wc -l <"$work/out/7203.csv")

# (d) The whole download again over an existing file of 10,000 and of 20,000 rows: the
# downloaded rows plus older ones, the same rows moved back 40 and 80 years (multiples of
# four, so that 29 February stays a date).
older() { awk -F, -v back="$1" 'BEGIN { OFS = "," } { $1 = (substr($1, 1, 4) - back) substr($1, 5); print }' "$work/out/7203.csv"; }
{ cat "$work/out/7203.csv"; older 40; older 80; } >"$work/all_rows"
head -n 10000 "$work/all_rows" >"$work/existing10000"
head -n 20000 "$work/all_rows" >"$work/existing20000"
merge_run() {
  rm -rf "$work/out" && mkdir "$work/out"
  cp "$work/existing$1" "$work/out/7203.csv"
  (cd "$work/out" &&
    "$bin/bench/child_usage" "$work/time" "$bin/app/pelmo" --host "$host" -s 1990/01/01 \
      -e 2026/12/31 7203 2>"$work/pelmo.err")
  echo "$(cat "$work/time") $(wc -l <"$work/out/7203.csv")"
}
for n in 10000 20000; do
  : >"$work/merge$n.times"
  for _ in $(seq "$runs"); do
    merge_run "$n" >>"$work/merge$n.times"
  done
done
column() { awk -v c="$2" '{ print $c }' "$1" | median; }
cpu() { awk '{ printf "%.4f\n", $2 + $3 }' "$1" | median; }

# (a), (b), (d) in one process: the medians of the repetitions, CPU time per iteration.
# The repetitions of all the benchmarks are run in a random interleaved order, so that a
# stretch of slow machine does not fall on one side of a comparison.
"$bin/bench/peer_bench" --host="$host" --benchmark_repetitions="$runs" \
  --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true --benchmark_format=csv \
  >"$work/bench.csv" 2>"$work/bench.err" || { cat "$work/bench.err" >&2; exit 1; }
# name -> cpu_time in ms, bytes_per_second, items_per_second (CSV columns 4, 6, 7)
figure() {
  awk -F, -v n="\"$1_median\"" -v c="$2" '$1 == n { print $c }' "$work/bench.csv"
}
mbs() { awk -v b="$(figure "$1" 6)" 'BEGIN { printf "%.1f", b / 1e6 }'; }
per_page_us() { awk -v i="$(figure "$1" 7)" 'BEGIN { printf "%.1f", 1e6 / i }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

page_mbs=$(mbs BM_PageStep)
xml_mbs=$(mbs BM_Libxml2Parse/Shift_JIS)
latin_mbs=$(mbs BM_Libxml2Parse/ISO-8859-1)
euc_mbs=$(mbs BM_EucJpConvert)
iconv_mbs=$(mbs BM_IconvEucJp)
merge10=$(figure BM_Merge/10000 4 | awk '{ printf "%.2f", $1 }')
merge20=$(figure BM_Merge/20000 4 | awk '{ printf "%.2f", $1 }')
pelmo_cpu=$(cpu "$work/pelmo.times")
curl_cpu=$(cpu "$work/curl.times")

echo
echo "pelmo benchmarks: median of $runs runs; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
grep -m 1 "^peer_bench: [0-9]* pages" "$work/bench.err" || true
grep -m 1 "same bytes" "$work/bench.err" || true
printf '%-44s %14s %14s %10s\n' "measure" "pelmo" "peer" "ratio"
printf '%-44s %14s %14s %10s\n' "(a) page step, us per page (vs libxml2 SJIS)" \
  "$(per_page_us BM_PageStep)" "$(per_page_us BM_Libxml2Parse/Shift_JIS)" \
  "$(ratio "$page_mbs" "$xml_mbs")"
printf '%-44s %14s %14s %10s\n' "(a) page step, MB/s (vs libxml2 Shift_JIS)" \
  "$page_mbs" "$xml_mbs" "$(ratio "$page_mbs" "$xml_mbs")"
printf '%-44s %14s %14s %10s\n' "(a) page step, MB/s (vs libxml2 ISO-8859-1)" \
  "$page_mbs" "$latin_mbs" "$(ratio "$page_mbs" "$latin_mbs")"
printf '%-44s %14s %14s %10s\n' "(b) EUC-JP to Shift_JIS, MB/s (vs iconv)" \
  "$euc_mbs" "$iconv_mbs" "$(ratio "$euc_mbs" "$iconv_mbs")"
printf '%-44s %14s %14s %10s\n' "(c) download 1990-2026 daily, requests" \
  "$requests" "$requests" "-"
printf '%-44s %14s %14s %10s\n' "(c) wall time, s (vs curl replay)" \
  "$(column "$work/pelmo.times" 1)" "$(column "$work/curl.times" 1)" \
  "$(ratio "$(column "$work/pelmo.times" 1)" "$(column "$work/curl.times" 1)")"
printf '%-44s %14s %14s %10s\n' "(c) CPU time user+sys, s (vs curl replay)" \
  "$pelmo_cpu" "$curl_cpu" "$(ratio "$pelmo_cpu" "$curl_cpu")"
printf '%-44s %14s %14s %10s\n' "(c)   user, s" \
  "$(column "$work/pelmo.times" 2)" "$(column "$work/curl.times" 2)" "-"
printf '%-44s %14s %14s %10s\n' "(c)   sys, s" \
  "$(column "$work/pelmo.times" 3)" "$(column "$work/curl.times" 3)" "-"
printf '%-44s %14s %14s %10s\n' "(c) peak memory, MiB (max RSS)" \
  "$(column "$work/pelmo.times" 4 | awk '{ printf "%.1f", $1 / 1024 }')" \
  "$(column "$work/curl.times" 4 | awk '{ printf "%.1f", $1 / 1024 }')" "-"
printf '%-44s %14s %14s %10s\n' "(c) rows written" "$rows" "-" "-"
printf '%-44s %14s %14s %10s\n' "(d) merge 10,000 rows in process, ms CPU" "$merge10" "-" "-"
printf '%-44s %14s %14s %10s\n' "(d) merge 20,000 rows in process, ms CPU" \
  "$merge20" "-" "$(ratio "$merge20" "$merge10")"
for n in 10000 20000; do
  printf '%-44s %14s %14s %10s\n' "(d) download over $n rows, CPU s / rows" \
    "$(cpu "$work/merge$n.times")" "$(column "$work/merge$n.times" 5)" \
    "$(ratio "$(cpu "$work/merge$n.times")" "$pelmo_cpu")"
done
