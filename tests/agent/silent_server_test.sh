#!/usr/bin/env bash
# A server that stops answering in the middle of a file (SIGSTOP for longer
# than the client's 20-second reply time-out): the agent times out, connects
# again once the server answers, resumes the file and finishes the e-mail.
# Takes about 25 s.
source "$(dirname "$0")/lib.sh" "$1"

start_server
random_file "$work/large.bin" $((128 * 1048576))
queue_email "Silent server" "$work/large.bin"

log_mark
start_agent agent -o
pause_server_mid_file
stopped_at=$SECONDS
timed_out() { grep -q 'm_objTimeOut_TimeOut()' <<< "$(log_since_mark)"; }
poll_seconds=0.5 wait_until 40 timed_out ||
  fail "the agent did not time out in 40 s of silence"
silence=$((SECONDS - stopped_at))
kill -CONT "$dwl_server_pid"

wait_agent "$agent_pid" 90 || fail "TransferAgent -o did not finish in 90 s after the server answered again: $(cat "$work/agent.txt")"
[ "$agent_code" -eq 0 ] || fail "TransferAgent -o exited $agent_code: $(cat "$work/agent.txt")"
[ "$silence" -ge 19 ] || fail "the agent timed out after $silence s of silence, before its 20 s were up"
grep -q '^connecting again in [0-9]* s$' "$work/agent.txt" || fail "the agent did not say it connects again: $(cat "$work/agent.txt")"
grep -q '^connection 2 from ' "$work/server.txt" || fail "the agent did not connect again: $(cat "$work/server.txt")"
grep -q 'receiveddata: 430 Attachment resumed at ' <<< "$(log_since_mark)" ||
  fail "the agent did not resume the file after connecting again"
expect_delivered "$email_id" "$work/large.bin"
queue_empty || fail "the queue still holds: $(ls "$queue")"
echo "the agent timed out after $silence s of silence, connected again and finished"
