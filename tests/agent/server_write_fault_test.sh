#!/usr/bin/env bash
# A server that cannot write a file (a file size limit of 4 KiB, ulimit -f)
# answers with a 5xx reply: TransferAgent -o takes that as a failed attempt,
# keeps the queue file and never says "uploaded", however often it tries.
# Once the server runs again without the fault (same store, same port), the
# agent finishes the e-mail and the server's file is the original, byte for
# byte. The file is 4 KiB and 500 bytes: the first attempt fails at the limit
# in the middle of the file; the next ones resume there, and the last 500
# bytes fail only when the server closes the file, after the client sent its
# end (the reply that was taken as success before).
source "$(dirname "$0")/lib.sh" "$1"

# `dwl` with the limit; SIGXFSZ ignored, so that a write beyond it fails
# (EFBIG) instead of ending the server.
cat > "$work/dwl-limited" << EOF
#!/usr/bin/env bash
trap '' XFSZ
ulimit -f 4
exec "$dwl" "\$@"
EOF
chmod +x "$work/dwl-limited"

start_dwl_server "$work/dwl-limited" "$work/store" --user tester --password "pass word" ||
  fail "the server with the fault did not start"
port=$dwl_server_port
echo "pass word" | "$dwl" config set-account tester > "$work/config.txt" 2>&1 ||
  fail "dwl config set-account failed: $(cat "$work/config.txt")"

random_file "$work/file.bin" $((4096 + 500))
queue_email "Write fault" "$work/file.bin"
cp "$queue_file" "$work/queued.txt"

log_mark
start_agent agent -o
# Three connections: the first fails in the middle of the file, the next
# ones at its end.
three_connections() { grep -q '^connection 3 from ' "$work/server.txt" || exited "$agent_pid"; }
refused() { [ "$(grep -c 'Cannot write the file' "$work/agent.txt")" -ge 2 ]; }
wait_until 60 three_connections || fail "the agent did not connect three times in 60 s: $(cat "$work/agent.txt")"
wait_until 30 refused || fail "the agent did not report the server's failure twice: $(cat "$work/agent.txt")"
! exited "$agent_pid" || fail "TransferAgent -o left while the server fails: $(cat "$work/agent.txt")"
! grep -q uploaded "$work/agent.txt" || fail "the agent says uploaded: $(cat "$work/agent.txt")"
[ -f "$queue_file" ] || fail "the queue file is gone while the server fails: $(ls "$queue" "$failed" 2>&1)"
grep -q "ServerCommunicator: .*5[0-9][0-9] Cannot write the file" <<< "$(log_since_mark)" ||
  fail "no log line tells the server's failure"
held=$(stored_files -printf '%s\n')
[ "$held" = 4096 ] || fail "the server holds $held bytes, not the 4096 of its limit"

cp "$work/server.txt" "$work/server-with-fault.txt"
stop_dwl_server || fail "the server with the fault did not stop cleanly"
start_dwl_server "$dwl" "$work/store" --port "$port" --user tester --password "pass word" ||
  fail "the server did not start again"
[ "$dwl_server_port" = "$port" ] || fail "the server listens on $dwl_server_port, not $port"

wait_agent "$agent_pid" 90 || fail "TransferAgent -o did not finish in 90 s after the fault: $(cat "$work/agent.txt")"
[ "$agent_code" -eq 0 ] || fail "TransferAgent -o exited $agent_code: $(cat "$work/agent.txt")"
grep -q "^uploaded e-mail $email_id" "$work/agent.txt" || fail "the agent did not say uploaded: $(cat "$work/agent.txt")"
queue_empty || fail "the queue still holds: $(ls "$queue")"
[ -z "$(ls -A "$failed" 2> /dev/null)" ] || fail "Failed holds: $(ls "$failed")"
expect_delivered "$email_id" "$work/file.bin"
echo "the agent kept the e-mail while the server could not write it, and finished it afterwards"
