#!/usr/bin/env bash
# A list of CODES codes (default 1000), the default 30-day range (one window each), from
# quote-server behind latency-proxy (RTT_MS round trip, default 50), over http and https:
# a shell loop of single pelmo runs, then pelmo --codes with --jobs 1, 4 and 8. Prints wall
# time, round trips per code (wall / (codes x RTT)), CPU and peak memory, each the median of
# RUNS; then, on plain loopback, pelmo's CPU per code in a list run next to a single run's.
#
#   scripts/bench_codes.sh [RUNS]   (default 1; BUILD_DIR overrides build/bench, RTT_MS, CODES)
#
# https needs root, as in scripts/bench_link.sh: the test certificate is trusted only inside
# a private mount namespace.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1}
rtt=${RTT_MS:-50}
codes=${CODES:-1000}
build=${BUILD_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ \
  -DPELMO_WERROR=ON >/dev/null
cmake --build "$build" -j 2 --target pelmo quote-server latency-proxy child_usage >/dev/null
# shellcheck source=scripts/bench_services.sh
source scripts/bench_services.sh

# Codes 1001, 1002, ...: every one has data.
seq 1001 $((1000 + codes)) >"$work/codes.txt"

# timed SCHEME COMMAND...: COMMAND under child_usage ("WALL USER SYS MAXRSS"), for https in
# a mount namespace that trusts the test certificate.
timed() {
  local scheme=$1
  shift
  if [[ $scheme == https ]]; then
    unshare -m sh -c 'mount --bind "$1" "$2" && shift 2 && exec "$@"' sh \
      "$work/bundle.crt" "$system_bundle" "$usage" "$work/time" "$@"
  else
    "$usage" "$work/time" "$@"
  fi
  cat "$work/time"
}

fresh() { rm -rf "$work/out" && mkdir "$work/out"; }
# single_loop SCHEME PORT: one pelmo process per code, as a daily job does today.
single_loop() {
  fresh
  (cd "$work/out" && timed "$1" sh -c 'while read -r code; do "$1" --host "$2" "$code"; done <"$3"' \
    sh "$bin/app/pelmo" "$1://127.0.0.1:$2" "$work/codes.txt" 2>"$work/pelmo.err")
}
# listed SCHEME PORT JOBS: one pelmo process for the list.
listed() {
  fresh
  (cd "$work/out" && timed "$1" "$bin/app/pelmo" --host "$1://127.0.0.1:$2" --jobs "$3" \
    --codes "$work/codes.txt" 2>"$work/pelmo.err")
  local written
  written=$(find "$work/out" -name '*.csv' | wc -l)
  [[ $written == "$codes" ]] || echo "only $written of $codes files written" >&2
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
measure() {
  local name=$1
  shift
  : >"$work/$name.times"
  for _ in $(seq "$runs"); do "$@" >>"$work/$name.times"; done
  wall=$(awk '{ print $1 }' "$work/$name.times" | median)
  cpu=$(awk '{ printf "%.4f\n", $2 + $3 }' "$work/$name.times" | median)
  rss=$(awk '{ printf "%.1f\n", $4 / 1024 }' "$work/$name.times" | median)
}
row() {
  printf '%-30s %9.2f %10.3f %9.2f %10s\n' "$1" "$wall" \
    "$(awk -v w="$wall" -v c="$codes" -v r="$rtt" 'BEGIN { print w * 1000 / (c * r) }')" \
    "$cpu" "$rss"
}

echo
echo "slow link: RTT ${rtt} ms, $codes codes of one window, median of $runs runs;" \
  "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-30s %9s %10s %9s %10s\n' "" "wall s" "RTT/code" "CPU s" "peak MiB"
for scheme in http https; do
  slow=$http_slow
  [[ $scheme == https ]] && slow=$https_slow
  if [[ -z ${SKIP_LOOP:-} ]]; then
    measure loop single_loop "$scheme" "$slow"
    row "$scheme: loop of single runs"
  fi
  for jobs in 1 4 8; do
    measure "jobs$jobs" listed "$scheme" "$slow" "$jobs"
    row "$scheme: --codes --jobs $jobs"
  done
done
echo "targets: --jobs 1 at most 1.1 RTT/code, --jobs 4 at most 0.3; --jobs 8 under 32 MiB"

# CPU on plain loopback: a list run's CPU per code next to one single run's (median of at
# least 5), the page work of one code either way.
runs=$((runs < 5 ? 5 : runs))
head -n 1 "$work/codes.txt" >"$work/one.txt"
one() {
  fresh
  (cd "$work/out" && timed http "$bin/app/pelmo" --host "127.0.0.1:$http_port" \
    "$(cat "$work/one.txt")" 2>/dev/null)
}
measure loop_one one
single_cpu=$cpu
runs=$((runs > 3 ? 3 : runs))
measure loop_list listed http "$http_port" 1
echo
echo "loopback CPU: single run ${single_cpu} s; --codes --jobs 1" \
  "$(awk -v a="$cpu" -v c="$codes" 'BEGIN { printf "%.5f", a / c }') s per code" \
  "(ratio $(awk -v a="$cpu" -v c="$codes" -v s="$single_cpu" 'BEGIN { printf "%.2f", a / c / s }'))"
