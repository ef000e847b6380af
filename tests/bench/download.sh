#!/usr/bin/env bash
# Download throughput of the HTTP agent against curl's, same file, same
# loopback server, same run. Started by scripts/bench.sh download with
# BENCH_EXE set and a Wine prefix ready. Last line: agent / curl.
set -euo pipefail
source "$(dirname "$0")/../../scripts/common.sh"
size_mb=${1:-200}
command -v curl >/dev/null || die "curl is needed (apt-get install curl)"

work=$(mktemp -d /tmp/zt-bench-download.XXXXXX)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/www"
head -c $((size_mb * 1024 * 1024)) /dev/urandom > "$work/www/payload.bin"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/www" > "$work/server.log" 2>&1 &
server_pid=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/server.log" | head -n1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || die "the loopback server did not start"
url="http://127.0.0.1:$port/payload.bin"

best() { sort -g | tail -n1; }
curl_rates=(); agent_rates=()
for round in 1 2 3; do
  curl_rates+=("$(curl -s -o "$work/curl.bin" -w '%{speed_download}' "$url")")
  out=$("$WINE64" "$BENCH_EXE" "$url" "Z:${work//\//\\}\\agent.bin")
  [ "$round" = 1 ] && log "$(echo "$out" | head -n1)"
  agent_rates+=("$(echo "$out" | tail -n1)")
  cmp -s "$work/www/payload.bin" "$work/agent.bin" || die "the agent's copy differs from the file served"
  rm -f "$work/curl.bin" "$work/agent.bin"
done
curl_best=$(printf '%s\n' "${curl_rates[@]}" | best)
agent_best=$(printf '%s\n' "${agent_rates[@]}" | best)
awk -v a="$agent_best" -v c="$curl_best" -v size="$size_mb" 'BEGIN {
  printf "agent %.1f MB/s, curl %.1f MB/s (best of 3, %s MB file)\n", a / 1048576, c / 1048576, size
  printf "%.3f\n", a / c }'
