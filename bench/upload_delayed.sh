#!/usr/bin/env bash
# Upload over a slow link: `dwl upload` sends one file to `dwl server` through
# bench/delay_proxy.py (DELAY_MS each way, RATE_MB_S megabytes a second), and
# a plain TCP copy in 64 KiB blocks goes through the same proxy for the
# link's own ceiling. Prints the upload's throughput as a share of the cap.
#
#   bench/upload_delayed.sh [MIB] [DELAY_MS] [RATE_MB_S]     (default 64, 40, 10)
#
# Loopback only; the proxy stops by itself, and every process with the script.
set -euo pipefail
cd "$(dirname "$0")/.."
dwl="$PWD/build/bin/dwl"
copy="$PWD/build/bin/dwl_tcp_copy"
mib="${1:-64}"
delay_ms="${2:-40}"
rate_mb="${3:-10}"
rate=$((rate_mb * 1000000))
for program in "$dwl" "$copy"; do
  [ -x "$program" ] || { echo "build first: cmake --build --preset default" >&2; exit 1; }
done
# Long enough for the whole file at a quarter of the cap.
limit=$((mib * 1048576 * 4 / rate + 60))

source scripts/dwl-server.sh
use_scratch_folder
use_scratch_home
start_dwl_server "$dwl" "$work/store"

# Starts a proxy to port $1; sets $proxy_port.
start_proxy() {
  : > "$work/proxy.txt"
  python3 bench/delay_proxy.py "$1" "$delay_ms" "$rate" "$limit" > "$work/proxy.txt" 2>&1 &
  stop_on_exit $!
  proxy_port=""
  proxy_told_port() {
    proxy_port=$(sed -n 's/^port \([0-9]*\)$/\1/p' "$work/proxy.txt")
    [ -n "$proxy_port" ]
  }
  wait_until 5 proxy_told_port || { echo "the proxy did not start: $(cat "$work/proxy.txt")" >&2; exit 1; }
}

report() {
  awk -v what="$1" -v s="$2" -v e="$3" -v mib="$mib" -v cap="$rate" 'BEGIN {
    t = e - s; r = mib * 1048576 / t
    printf "  %-22s %7.2f s  %6.2f MB/s  %3.0f %% of the cap\n", what, t, r / 1e6, 100 * r / cap
  }'
}

file="$work/upload.bin"
head -c "$((mib * 1048576))" /dev/urandom > "$file"
echo "$mib MiB through a link of $rate_mb MB/s with $delay_ms ms each way (127.0.0.1):"

start_proxy "$dwl_server_port"
start=$(date +%s.%N)
echo bench | timeout "$limit" "$dwl" upload --host 127.0.0.1 --port "$proxy_port" --user bench "$file" \
    > "$work/upload.txt" 2> "$work/upload-err.txt" \
    || { echo "upload failed: $(tail -3 "$work/upload-err.txt")" >&2; exit 1; }
end=$(date +%s.%N)
stored=$(find "$work/store/files" -type f ! -name '*.txt')
cmp -s "$file" "$stored" || { echo "the server's copy differs" >&2; exit 1; }
report "dwl upload" "$start" "$end"

: > "$work/receiver.txt"
timeout "$limit" "$copy" receive "$work/copy.bin" > "$work/receiver.txt" 2>&1 &
receiver=$!
stop_on_exit "$receiver"
receiver_told_port() { grep -q '^port ' "$work/receiver.txt"; }
wait_until 5 receiver_told_port || { echo "the receiver did not start" >&2; exit 1; }
start_proxy "$(sed -n 's/^port \([0-9]*\)$/\1/p' "$work/receiver.txt")"
start=$(date +%s.%N)
timeout "$limit" "$copy" send "$proxy_port" "$file" 65536
wait "$receiver"
end=$(date +%s.%N)
cmp -s "$file" "$work/copy.bin" || { echo "the plain copy differs" >&2; exit 1; }
report "plain TCP, 64 KiB" "$start" "$end"
