#!/usr/bin/env bash
# A file removed from disk after the e-mail was queued and before its upload:
# the e-mail goes out without it, with its other file, and the terminal and
# the log name it. An e-mail none of whose files is left goes to Failed
# instead of out as a link to nothing.
source "$(dirname "$0")/lib.sh" "$1"

start_server
random_file "$work/kept.bin" 3000000
random_file "$work/vanished.bin" 2000000
queue_email "One file vanished" "$work/kept.bin" "$work/vanished.bin"
[ "$(tagged_values "$queue_file" AttachmentPath | wc -l)" -eq 2 ] || fail "the e-mail was not queued with two files"
rm "$work/vanished.bin"

log_mark
run_agent_once agent 60
grep -q "^e-mail $email_id: sent without its file $work/vanished.bin, which is gone$" "$work/agent.txt" ||
  fail "the agent did not name the vanished file: $(cat "$work/agent.txt")"
grep -q "sent without its file $work/vanished.bin" <<< "$(log_since_mark)" || fail "the log does not name the vanished file"
grep -q "^e-mail $email_id: 1 file$" "$work/agent.txt" || fail "the agent printed: $(cat "$work/agent.txt")"
expect_delivered "$email_id" "$work/kept.bin"
record="$work/store/emails/$email_id.txt"
[ "$(tagged_values "$record" Subject)" = "One file vanished" ] || fail "the server's e-mail lacks its subject"
[ "$(tagged_values "$record" Recipient)" = someone@example.org ] || fail "the server's e-mail lacks its recipient"
queue_empty || fail "the queue still holds: $(ls "$queue")"
[ ! -e "$failed" ] || fail "something went to Failed: $(ls "$failed")"
random_file "$work/gone.bin" 1000
queue_email "Every file vanished" "$work/gone.bin"
rm "$work/gone.bin"
run_agent_once second-agent 60
grep -q "^e-mail $email_id moved to Failed: its file is gone: $work/gone.bin$" "$work/second-agent.txt" ||
  fail "the agent printed: $(cat "$work/second-agent.txt")"
[ -f "$failed/$email_id.txt" ] || fail "the e-mail is not in Failed: $(ls "$failed" 2>&1)"
[ ! -e "$work/store/emails/$email_id.txt" ] || fail "an e-mail without files reached the server"
echo "the e-mail whose file vanished went out with its other file, and one with none left went to Failed"
