#!/usr/bin/env bash
# Upload benchmark: `dwl upload` sends one file to `dwl server` over loopback,
# once small and once large, and reports the throughput and the client's peak
# memory for each. The client's memory must not grow with the file.
#
#   bench/transfer_upload.sh [LARGE_MIB] [SMALL_MIB]     (default 1024 and 64)
#
# Needs a built tree (build/bin/dwl) and twice LARGE_MIB of space in $TMPDIR.
set -euo pipefail
cd "$(dirname "$0")/.."
dwl="$PWD/build/bin/dwl"
large_mib="${1:-1024}"
small_mib="${2:-64}"
[ -x "$dwl" ] || { echo "build first: cmake --build --preset default" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (apt-get install time)" >&2; exit 1; }

source scripts/dwl-server.sh
use_scratch_folder
use_scratch_home

start_dwl_server "$dwl" "$work/store"
port=$dwl_server_port

run() {
  local mib="$1"
  local file="$work/upload-$mib.bin"
  head -c "$((mib * 1048576))" /dev/urandom > "$file"
  local start end
  start=$(date +%s.%N)
  echo bench | /usr/bin/time -f '%M' -o "$work/rss.txt" \
      "$dwl" upload --host 127.0.0.1 --port "$port" --user bench "$file" \
      > "$work/upload.txt" 2> "$work/upload-err.txt" \
      || { echo "upload failed: $(tail -3 "$work/upload-err.txt")" >&2; exit 1; }
  end=$(date +%s.%N)
  rm -f "$file" "$work"/store/files/*
  awk -v mib="$mib" -v s="$start" -v e="$end" -v rss="$(tail -1 "$work/rss.txt")" \
      'BEGIN { t = e - s; printf "%6d MiB  %7.2f s  %8.1f MiB/s  client peak memory %6.1f MiB\n", mib, t, mib / t, rss / 1024 }'
}

echo "dwl upload to dwl server on 127.0.0.1 (files of random bytes):"
run "$small_mib"
run "$large_mib"
