#!/usr/bin/env bash
# A file removed from disk after the e-mail was queued and before its upload:
# the e-mail goes out without it, with its other file.
source "$(dirname "$0")/lib.sh" "$1"

start_server
random_file "$work/kept.bin" 3000000
random_file "$work/vanished.bin" 2000000
queue_email "One file vanished" "$work/kept.bin" "$work/vanished.bin"
[ "$(tagged_values "$queue_file" AttachmentPath | wc -l)" -eq 2 ] || fail "the e-mail was not queued with two files"
rm "$work/vanished.bin"

run_agent_once agent 60
grep -q "^e-mail $email_id: 1 file$" "$work/agent.txt" || fail "the agent printed: $(cat "$work/agent.txt")"
expect_delivered "$email_id" "$work/kept.bin"
record="$work/store/emails/$email_id.txt"
[ "$(tagged_values "$record" Subject)" = "One file vanished" ] || fail "the server's e-mail lacks its subject"
[ "$(tagged_values "$record" Recipient)" = someone@example.org ] || fail "the server's e-mail lacks its recipient"
queue_empty || fail "the queue still holds: $(ls "$queue")"
[ ! -e "$failed" ] || fail "something went to Failed: $(ls "$failed")"
echo "the e-mail whose file vanished went out with its other file"
