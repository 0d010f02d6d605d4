#!/usr/bin/env bash
# An agent killed (SIGKILL) in the middle of a file leaves its progress in the
# queue file, whatever its name; the next agent resumes the e-mail (RESM) and
# the file (RESA) instead of sending them again, and the server's copy is
# byte-identical.
source "$(dirname "$0")/lib.sh" "$1"

start_server
random_file "$work/large.bin" $((128 * 1048576))
queue_email "Killed and resumed" "$work/large.bin"
# A queue file named otherwise (copied in by hand) is the one the agents keep
# up to date and remove.
mv "$queue_file" "$queue/copied by hand.txt"
queue_file="$queue/copied by hand.txt"

kill_agent_mid_file

[ "$(stored_files | wc -l)" -eq 1 ] || fail "the server holds $(stored_files | wc -l) files, not 1"
partial=$(stored_files)
held=$(stat -c %s "$partial")
[ "$held" -lt $((128 * 1048576)) ] ||
  fail "the file was whole before the kill (the test could not catch the upload in the middle)"
[ -f "$queue_file" ] || fail "the killed agent's queue file is gone"
[ ! -e "$queue/$email_id.txt" ] || fail "a second queue file under the e-mail's ID"
# The client says RESM for an e-mail marked as created on the server.
[ "$(tagged_values "$queue_file" CreatedOnServer)" = True ] ||
  fail "the queue file does not say that the server has the e-mail: $(tr -d '\r' < "$queue_file")"
[ "$(tagged_values "$queue_file" AttachmentId)" = "$(basename "$partial")" ] ||
  fail "the queue file does not hold the file's id $(basename "$partial"): $(tr -d '\r' < "$queue_file")"

log_mark
run_agent_once second-agent 120
log=$(log_since_mark)
# The client logs the server's replies: 430 answers RESA only.
grep -q "receiveddata: 430 Attachment resumed at $held" <<< "$log" ||
  fail "the second agent did not resume the file at byte $held (no such 430 reply in the log)"
! grep -q "receiveddata: 410 Attachment created" <<< "$log" ||
  fail "the second agent sent the file anew instead of resuming it"
[ "$(stored_files | wc -l)" -eq 1 ] || fail "the server holds $(stored_files | wc -l) files after the resume"
expect_delivered "$email_id" "$work/large.bin"
queue_empty || fail "the queue still holds: $(ls "$queue")"
echo "the killed agent's e-mail resumed at byte $held of $((128 * 1048576)) and arrived whole"
