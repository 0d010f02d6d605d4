#!/usr/bin/env bash
# Two agents started at once: one takes the per-user mark and uploads, the
# other leaves at once with exit 0; the e-mail arrives once.
source "$(dirname "$0")/lib.sh" "$1"

start_server
random_file "$work/file.bin" $((64 * 1048576))
queue_email "Two agents" "$work/file.bin"

start_agent agent-1 -o
one=$agent_pid
start_agent agent-2 -o
two=$agent_pid
for pid in "$one" "$two"; do
  wait_agent "$pid" 120 || fail "an agent did not finish in 120 s"
  [ "$agent_code" -eq 0 ] || fail "an agent exited $agent_code: $(cat "$work"/agent-*.txt)"
done

left=$(grep -l '^TransferAgent: another TransferAgent runs already$' "$work"/agent-*.txt || true)
[ "$(wc -w <<< "$left")" -eq 1 ] ||
  fail "not exactly one agent left because another runs: $(tail -n +1 "$work"/agent-*.txt)"
worked=$(ls "$work"/agent-*.txt | grep -vx "$left")
[ "$(wc -l < "$left")" -eq 1 ] || fail "the agent that left printed more: $(cat "$left")"
grep -q "^uploaded e-mail $email_id: 64.00 MB in 1 file(s)$" "$worked" ||
  fail "the other agent did not upload the e-mail: $(cat "$worked")"
expect_delivered "$email_id" "$work/file.bin"
[ "$(stored_files | wc -l)" -eq 1 ] || fail "the server holds $(stored_files | wc -l) files, not 1"
queue_empty || fail "the queue still holds: $(ls "$queue")"
echo "of two agents started at once one uploaded, the other left; the e-mail arrived once"
