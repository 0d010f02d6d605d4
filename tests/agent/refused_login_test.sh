#!/usr/bin/env bash
# A wrong password: TransferAgent -o tells the refusal once, with whose login
# it was, where, and the fix; it tries once more (the user may have mended
# the account meanwhile), then leaves with exit 1 and the e-mail still queued.
source "$(dirname "$0")/lib.sh" "$1"

start_server
echo "wrong" | "$dwl" config set-account tester > "$work/config.txt" 2>&1 ||
  fail "dwl config set-account failed: $(cat "$work/config.txt")"
random_file "$work/file.bin" 1000
queue_email "Refused" "$work/file.bin"
start_agent agent -o
wait_agent "$agent_pid" 60 || fail "TransferAgent -o did not leave after refused logins: $(cat "$work/agent.txt")"
[ "$agent_code" -eq 1 ] || fail "TransferAgent -o exited $agent_code, not 1: $(cat "$work/agent.txt")"
told="login refused for 'tester' at 127.0.0.1:$port: set the account with 'dwl config set-account'"
[ "$(grep -cxF "$told" "$work/agent.txt")" -eq 1 ] || fail "the refusal was not told once: $(cat "$work/agent.txt")"
grep -q "refused again: leaving" "$work/agent.txt" || fail "the agent did not say why it left: $(cat "$work/agent.txt")"
[ -f "$queue_file" ] || fail "the e-mail left the queue"
[ "$(grep -c "login refused for 'tester'" "$work/server.txt")" -eq 2 ] || fail "the server logged: $(cat "$work/server.txt")"
echo "a refused login is told once with its fix, and TransferAgent -o leaves with exit 1"
