#!/usr/bin/env bash
# Two agents started at once: one takes the per-user mark and uploads, the
# other leaves at once with exit 0; the e-mail arrives once. The mark lies in
# $XDG_RUNTIME_DIR, and without it in the application folder, never in a
# folder other users may write.
source "$(dirname "$0")/lib.sh" "$1"

start_server
runtime="$XDG_RUNTIME_DIR"
for place in runtime application; do
  if [ "$place" = application ]; then
    unset XDG_RUNTIME_DIR
    lock="$HOME/.config/Dropwell/TransferAgent.lock"
  fi
  random_file "$work/$place.bin" $((64 * 1048576))
  queue_email "Two agents" "$work/$place.bin"

  start_agent "$place-1" -o
  one=$agent_pid
  start_agent "$place-2" -o
  two=$agent_pid
  for pid in "$one" "$two"; do
    wait_agent "$pid" 120 || fail "an agent did not finish in 120 s"
    [ "$agent_code" -eq 0 ] || fail "an agent exited $agent_code: $(cat "$work/$place"-*.txt)"
  done

  left=$(grep -l '^TransferAgent: another TransferAgent runs already$' "$work/$place"-*.txt || true)
  [ "$(wc -w <<< "$left")" -eq 1 ] ||
    fail "$place: not exactly one agent left because another runs: $(tail -n +1 "$work/$place"-*.txt)"
  worked=$(ls "$work/$place"-*.txt | grep -vx "$left")
  [ "$(wc -l < "$left")" -eq 1 ] || fail "the agent that left printed more: $(cat "$left")"
  grep -q "^uploaded e-mail $email_id: 64.0 MiB in 1 file$" "$worked" ||
    fail "$place: the other agent did not upload the e-mail: $(cat "$worked")"
  expect_delivered "$email_id" "$work/$place.bin"
  queue_empty || fail "the queue still holds: $(ls "$queue")"
  if [ "$place" = runtime ]; then
    [ -n "$(ls "$runtime")" ] || fail "no lock file in \$XDG_RUNTIME_DIR"
  else
    [ -f "$lock" ] && [ "$(stat -c %a "$lock")" = 600 ] || fail "no lock file $lock of mode 600"
    [ "$(ls "$runtime" | wc -l)" -eq 1 ] || fail "a lock file went elsewhere: $(ls "$runtime")"
  fi
done
[ "$(stored_files | wc -l)" -eq 2 ] || fail "the server holds $(stored_files | wc -l) files, not 2"
echo "of two agents started at once one uploaded, the other left, with and without \$XDG_RUNTIME_DIR"
