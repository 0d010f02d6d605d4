#!/usr/bin/env bash
# TransferAgent without -o watches the queue: it stays while the queue is
# empty, takes an e-mail queued while it runs, and leaves with exit 0 on
# SIGTERM. A refused login is tried again with the account read anew: the
# user mends the password while the agent waits.
source "$(dirname "$0")/lib.sh" "$1"

start_server
echo "wrong" | "$dwl" config set-account tester > "$work/config.txt" 2>&1 ||
  fail "dwl config set-account failed: $(cat "$work/config.txt")"
start_agent watcher
sleep 2
! exited "$agent_pid" || fail "TransferAgent left with an empty queue: $(cat "$work/watcher.txt")"

random_file "$work/file.bin" 1000000
queue_email "Watched" "$work/file.bin"
wait_until 30 grep -q '^connecting again' "$work/watcher.txt" ||
  fail "the agent did not wait after the refused login: $(cat "$work/watcher.txt")"
echo "pass word" | "$dwl" config set-account tester > "$work/config.txt" 2>&1 ||
  fail "dwl config set-account failed: $(cat "$work/config.txt")"
wait_until 90 grep -q "^uploaded e-mail $email_id" "$work/watcher.txt" ||
  fail "the agent did not upload the e-mail with the mended account: $(cat "$work/watcher.txt")"
expect_delivered "$email_id" "$work/file.bin"
queue_empty || fail "the queue still holds: $(ls "$queue")"

! exited "$agent_pid" || fail "TransferAgent left though it watches: $(cat "$work/watcher.txt")"
kill -TERM "$agent_pid"
wait_agent "$agent_pid" 10 || fail "TransferAgent did not leave on SIGTERM"
[ "$agent_code" -eq 0 ] || fail "TransferAgent exited $agent_code on SIGTERM: $(cat "$work/watcher.txt")"
echo "the watching agent took a new e-mail after a mended login and left on SIGTERM"
