#!/usr/bin/env bash
# Upload benchmark: `dwl upload` sends one file to `dwl server` over loopback,
# once small and once large, and in the same run a plain TCP copy
# (dwl_tcp_copy) sends the same file to the same machine, once in the
# protocol's 1460-byte pieces and once in 64 KiB blocks. Prints each time
# and throughput (the median of ROUNDS runs), the upload's throughput as a
# share of each plain copy's, the client's peak memory, which must not grow
# with the file, and the server's CPU time for the upload.
#
#   bench/transfer_upload.sh [LARGE_MIB] [SMALL_MIB]     (default 1024 and 64)
#   ROUNDS=N (default 3)
#
# Needs a built tree (build/bin/dwl, build/bin/dwl_tcp_copy) and twice LARGE_MIB
# of space in $TMPDIR. Loopback only; every process stops with the script.
set -euo pipefail
cd "$(dirname "$0")/.."
dwl="$PWD/build/bin/dwl"
copy="$PWD/build/bin/dwl_tcp_copy"
large_mib="${1:-1024}"
small_mib="${2:-64}"
rounds="${ROUNDS:-3}"
for program in "$dwl" "$copy"; do
  [ -x "$program" ] || { echo "build first: cmake --build --preset default" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (apt-get install time)" >&2; exit 1; }

source scripts/dwl-server.sh
use_scratch_folder
use_scratch_home

start_dwl_server "$dwl" "$work/store"
port=$dwl_server_port

# Seconds COMMAND... took, on standard output; fails with the command.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f\n", e - s }'
}

# The server's CPU time so far, in clock ticks.
server_ticks() { awk '{ print $14 + $15 }' "/proc/$dwl_server_pid/stat"; }
ticks_per_second=$(getconf CLK_TCK)

upload() {
  local before
  before=$(server_ticks)
  echo bench | /usr/bin/time -f '%M' -o "$work/rss.txt" \
      "$dwl" upload --host 127.0.0.1 --port "$port" --user bench "$1" \
      > "$work/upload.txt" 2> "$work/upload-err.txt" \
      || { echo "upload failed: $(tail -3 "$work/upload-err.txt")" >&2; return 1; }
  echo $(($(server_ticks) - before)) >> "$work/server-ticks.txt"
  rm -f "$work"/store/files/*
}

# The plain copy of $1 in $2-byte writes to a receiver started for it.
plain_copy() {
  local file="$1" piece="$2" receiver_port=""
  : > "$work/receiver.txt"
  timeout 300 "$copy" receive "$work/copy.bin" > "$work/receiver.txt" 2>&1 &
  local receiver=$!
  stop_on_exit "$receiver"
  receiver_told_port() {
    receiver_port=$(sed -n 's/^port \([0-9]*\)$/\1/p' "$work/receiver.txt")
    [ -n "$receiver_port" ]
  }
  wait_until 5 receiver_told_port || { echo "the receiver did not start" >&2; return 1; }
  timeout 300 "$copy" send "$receiver_port" "$file" "$piece"
  wait "$receiver"
  [ "$(stat -c %s "$work/copy.bin")" = "$(stat -c %s "$file")" ] \
      || { echo "the plain copy lost bytes" >&2; return 1; }
  rm -f "$work/copy.bin"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

run() {
  local mib="$1"
  local file="$work/upload-$mib.bin"
  head -c "$((mib * 1048576))" /dev/urandom > "$file"
  local round up=() small=() big=() rss=0 r
  : > "$work/server-ticks.txt"
  for ((round = 1; round <= rounds; ++round)); do
    # Interleaved, so that a busy moment of the shared machine hits all three.
    up+=("$(seconds upload "$file")")
    r=$(tail -1 "$work/rss.txt")
    [ "$r" -gt "$rss" ] && rss=$r
    small+=("$(seconds plain_copy "$file" 1460)")
    big+=("$(seconds plain_copy "$file" 65536)")
  done
  rm -f "$file"
  local tu ts tb cpu
  tu=$(printf '%s\n' "${up[@]}" | median)
  ts=$(printf '%s\n' "${small[@]}" | median)
  tb=$(printf '%s\n' "${big[@]}" | median)
  cpu=$(median < "$work/server-ticks.txt")
  awk -v mib="$mib" -v tu="$tu" -v ts="$ts" -v tb="$tb" -v rss="$rss" -v n="$rounds" \
      -v cpu="$cpu" -v hz="$ticks_per_second" 'BEGIN {
    printf "%d MiB (median of %d):\n", mib, n
    printf "  dwl upload             %7.2f s  %8.1f MiB/s  client peak memory %.1f MiB, server CPU %.2f s\n",
        tu, mib / tu, rss / 1024, cpu / hz
    printf "  plain TCP, 1460 B      %7.2f s  %8.1f MiB/s  upload reaches %3.0f %% of it\n", ts, mib / ts, 100 * ts / tu
    printf "  plain TCP, 64 KiB      %7.2f s  %8.1f MiB/s  upload reaches %3.0f %% of it\n", tb, mib / tb, 100 * tb / tu
  }'
}

echo "One file of random bytes to 127.0.0.1: dwl upload to dwl server, and dwl_tcp_copy"
run "$small_mib"
run "$large_mib"
