# Sourced by the link benchmarks, with $build set to a built release folder: a test
# certificate, quote-server over http and https, and a latency-proxy (RTT $rtt ms) in front
# of each. Sets bin, usage, system_bundle, work, http_port, https_port, http_slow, https_slow
# and http_pid; everything started is stopped, and $work removed, on exit.
bin=$(cd "$build" && pwd)
usage="$bin/bench/child_usage"
system_bundle=/etc/ssl/certs/ca-certificates.crt

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# start NAME COMMAND...: runs a server that prints its port first; sets $port.
start() {
  local name=$1
  shift
  "$@" >"$work/$name.port" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 50); do
    [[ -s $work/$name.port ]] && break
    sleep 0.1
  done
  port=$(head -n 1 "$work/$name.port")
}

openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
cat "$system_bundle" "$work/cert.pem" >"$work/bundle.crt"

start http "$bin/tools/quote_server/quote-server" --port 0 --log "$work/requests.log"
http_port=$port
http_pid=${pids[-1]}
start https "$bin/tools/quote_server/quote-server" --port 0 --cert "$work/cert.pem" \
  --key "$work/key.pem"
https_port=$port
start http_proxy "$bin/tools/latency_proxy/latency-proxy" --target "127.0.0.1:$http_port" \
  --rtt-ms "$rtt"
http_slow=$port
start https_proxy "$bin/tools/latency_proxy/latency-proxy" --target "127.0.0.1:$https_port" \
  --rtt-ms "$rtt"
https_slow=$port
