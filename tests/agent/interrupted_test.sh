#!/usr/bin/env bash
# Ctrl-C in the middle of a file: the agent tells where the file stood and
# that a new run resumes it, exits 130, and the e-mail stays queued.
source "$(dirname "$0")/lib.sh" "$1"

start_server
random_file "$work/large.bin" $((64 * 1048576))
queue_email "Interrupted" "$work/large.bin"
start_agent agent -o
pause_server_mid_file
kill -INT "$agent_pid"
wait_agent "$agent_pid" 30 || fail "the agent did not stop on SIGINT"
kill -CONT "$dwl_server_pid"
[ "$agent_code" -eq 130 ] || fail "the agent exited $agent_code, not 130: $(cat "$work/agent.txt")"
grep -Eq '^interrupted: large\.bin [0-9]+ % on the server; run again to resume$' <(tr '\r' '\n' < "$work/agent.txt") ||
  fail "the agent printed: $(cat "$work/agent.txt")"
[ -f "$queue_file" ] || fail "the interrupted e-mail left the queue"
echo "an interrupted agent says where the file stood and exits 130"
