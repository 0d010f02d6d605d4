#!/usr/bin/env bash
# An e-mail the server refuses as too large moves, whole, to Failed beside the
# queue with a clear log line; the next e-mail still goes out, the queue ends
# empty, and TransferAgent -o exits 0.
source "$(dirname "$0")/lib.sh" "$1"

start_server --max-size 5000000
random_file "$work/large.bin" 6000000
random_file "$work/small.bin" 1000000
queue_email "Too large" "$work/large.bin"
large_id=$email_id
cp "$queue_file" "$work/large-queued.txt"
queue_email "Small enough" "$work/small.bin"

log_mark
run_agent_once agent 60
queue_empty || fail "the queue still holds: $(ls "$queue")"
cmp -s "$failed/$large_id.txt" "$work/large-queued.txt" ||
  fail "Failed does not hold the queue file as it was: $(ls -l "$failed" 2>&1)"
[ "$(ls "$failed")" = "$large_id.txt" ] || fail "Failed holds more: $(ls "$failed")"
log=$(log_since_mark)
grep -Fq "TransferAgent: moved $queue/$large_id.txt to $failed/$large_id.txt: the server refuses an e-mail of this size" <<< "$log" ||
  fail "no log line says why the e-mail moved to Failed: $(grep TransferAgent <<< "$log")"
grep -q "^e-mail $large_id moved to Failed: the server refuses an e-mail of this size$" "$work/agent.txt" ||
  fail "the agent did not say that the e-mail moved to Failed: $(cat "$work/agent.txt")"
[ ! -e "$work/store/emails/$large_id.txt" ] || fail "the server keeps the refused e-mail"
expect_delivered "$email_id" "$work/small.bin"
[ "$(stored_files | wc -l)" -eq 1 ] || fail "the server holds $(stored_files | wc -l) files, not 1"
echo "the too large e-mail went to Failed, the next one went out"
