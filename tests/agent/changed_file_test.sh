#!/usr/bin/env bash
# A file rewritten after its upload began (the agent killed in the middle of
# it), to the same size: the next agent finds it no longer as the queue file
# noted it and sends it afresh, never resuming it, which would put new bytes
# after old ones. The server's copy is the rewritten file.
source "$(dirname "$0")/lib.sh" "$1"

start_server
random_file "$work/large.bin" $((64 * 1048576))
queue_email "Rewritten between agents" "$work/large.bin"

kill_agent_mid_file
[ "$(tagged_values "$queue_file" AttachmentSize)" = $((64 * 1048576)) ] ||
  fail "the queue file does not note the file as its upload began: $(tr -d '\r' < "$queue_file")"

random_file "$work/large.bin" $((64 * 1048576))
log_mark
run_agent_once second-agent 120
log=$(log_since_mark)
grep -Fq "$work/large.bin changed since its upload began" <<< "$log" ||
  fail "no log line says that the file is sent afresh"
! grep -q "receiveddata: 430 Attachment resumed" <<< "$log" || fail "the second agent resumed the rewritten file"
expect_delivered "$email_id" "$work/large.bin"
queue_empty || fail "the queue still holds: $(ls "$queue")"
echo "the file rewritten between two agents was sent afresh and arrived as rewritten"
