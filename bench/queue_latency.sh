#!/usr/bin/env bash
# How soon a watching TransferAgent takes a new e-mail: the add-in (dwl sim)
# queues an e-mail in a queue of its own, the script moves the queue file into
# the queue that TransferAgent watches, as the add-in's rename does, and times
# how long until the agent connects to the server. Prints each round, the
# median and the longest.
#
#   bench/queue_latency.sh [ROUNDS]     (default 10)
#   BIN=FOLDER    the programs to run (default build/bin)
#
# Needs a built tree (dwl and TransferAgent in build/bin). Loopback only;
# every process stops with the script.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rounds="${1:-10}"
bin="${BIN:-$root/build/bin}"
for program in "$bin/dwl" "$bin/TransferAgent"; do
  [ -x "$program" ] || { echo "build first: cmake --build --preset default" >&2; exit 1; }
done

source scripts/dwl-server.sh
source scripts/agent.sh
use_scratch_folder
use_scratch_home
use_programs "$bin"
start_account_server bench "bench word"
log_mark
start_agent agent
agent_started() { grep -q 'TransferAgent: started$' <<< "$(log_since_mark)"; }
wait_until 10 agent_started || { echo "TransferAgent did not start: $(cat "$work/agent.txt")" >&2; exit 1; }

# The add-in's queue in another HOME, so the watched queue sees only the rename.
stage="$work/stage"
mkdir -p "$stage"
head -c 1000 /dev/urandom > "$work/file.bin"
queue_script "Latency" "$work/file.bin" > "$work/queue.sim"

connections() { grep -c '^connection [0-9]* from' "$work/server.txt" || true; }
millis=()
for ((round = 1; round <= rounds; ++round)); do
  HOME="$stage" "$dwl" sim "$work/queue.sim" > "$work/sim.txt" 2>&1 \
    || { echo "dwl sim failed: $(cat "$work/sim.txt")" >&2; exit 1; }
  file=$(ls "$stage/.config/Dropwell/MailQueue/")
  before=$(connections)
  start=$(date +%s%N)
  mv "$stage/.config/Dropwell/MailQueue/$file" "$queue/$file"
  until [ "$(connections)" -gt "$before" ]; do
    [ $(($(date +%s%N) - start)) -lt 10000000000 ] || { echo "no connection in 10 s" >&2; exit 1; }
  done
  end=$(date +%s%N)
  millis+=($(((end - start) / 1000000)))
  printf 'round %2d: %4d ms\n' "$round" "${millis[-1]}"
  poll_seconds=0.05 wait_until 30 queue_empty || { echo "the queue was not emptied" >&2; exit 1; }
done
printf '%s\n' "${millis[@]}" | sort -n | awk '{ v[NR] = $1 } END {
  printf "From the queue file to the agent'"'"'s connection: median %d ms, longest %d ms (%d rounds)\n", v[int((NR + 1) / 2)], v[NR], NR }'
