# Set-up shared by the TransferAgent program tests: a scratch folder and HOME
# (so a queue, settings and agent mark of their own), a server on loopback
# with a test account, and e-mails queued as the add-in queues them on Send.
# Source it with the programs' folder as $1.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/scripts/dwl-server.sh"
source "$root/scripts/agent.sh"
use_scratch_folder
use_scratch_home
use_programs "$1"

fail() { echo "FAIL: $*" >&2; exit 1; }

start_server() { start_account_server tester "pass word" "$@" || fail "the server did not start"; }

# Queues one e-mail with these files (of one folder) through the add-in in the
# simulated Outlook; sets $email_id and $queue_file.
queue_email() {
  local subject="$1"
  shift
  local before
  before=$(ls "$queue" 2> /dev/null || true)
  queue_script "$subject" "$@" > "$work/queue.sim"
  "$dwl" sim "$work/queue.sim" > "$work/sim.txt" 2>&1 || fail "dwl sim exited $?: $(cat "$work/sim.txt")"
  [ ! -s "$work/sim.txt" ] || fail "dwl sim printed: $(cat "$work/sim.txt")"
  local name
  name=$(comm -13 <(echo "$before") <(ls "$queue"))
  [ -n "$name" ] && [ "$(wc -l <<< "$name")" -eq 1 ] || fail "not one new queue file but: '$name'"
  email_id=${name%.txt}
  queue_file="$queue/$name"
}

run_agent_once() {
  start_agent "$1" -o
  wait_agent "$agent_pid" "$2" || fail "TransferAgent -o did not finish in $2 s: $(cat "$work/$1.txt")"
  [ "$agent_code" -eq 0 ] || fail "TransferAgent -o exited $agent_code: $(cat "$work/$1.txt")"
}

stored_files() { find "$work/store/files" -type f ! -name '*.txt' "$@"; }

# Stops the server once the bytes of a file arrive: the agent's writes then
# block in the middle of that file.
pause_server_mid_file() {
  wait_until 60 upload_began || fail "no upload began in 60 s: $(cat "$work"/*agent*.txt)"
  kill -STOP "$dwl_server_pid"
}
upload_began() { [ -n "$(stored_files -size +0c)" ]; }

# Starts TransferAgent -o and kills it (SIGKILL) while it is blocked in the
# middle of a file: what it wrote down so far is all the next agent has.
kill_agent_mid_file() {
  start_agent first-agent -o
  local first=$agent_pid
  pause_server_mid_file
  kill -KILL "$first"
  wait "$first" 2> /dev/null || true
  kill -CONT "$dwl_server_pid"
  wait_until 20 grep -q '^connection 1 closed$' "$work/server.txt" ||
    fail "the server did not see the killed agent's connection end: $(cat "$work/server.txt")"
}

digest() { sha256sum < "$1" | cut -d' ' -f1; }

# The server finished e-mail $1 once, holding exactly the files $2... in this
# order, byte for byte.
expect_delivered() {
  local id="$1"
  shift
  local record="$work/store/emails/$id.txt"
  [ -f "$record" ] || fail "the server has no e-mail $id"
  [ "$(tagged_values "$record" Finished)" = True ] || fail "e-mail $id is not finished on the server"
  local finished
  finished=$(grep -c "^e-mail $id finished" "$work/server.txt" || true)
  [ "$finished" -eq 1 ] || fail "the server finished e-mail $id $finished times"
  local ids
  mapfile -t ids < <(tagged_values "$record" Attachment)
  [ "${#ids[@]}" -eq $# ] || fail "e-mail $id holds ${#ids[@]} files on the server, not $#"
  local i=0 original copy
  for original in "$@"; do
    copy="$work/store/files/${ids[i]}"
    [ "$(digest "$copy")" = "$(digest "$original")" ] ||
      fail "the server's $(basename "$copy") ($(stat -c %s "$copy") bytes, sha256 $(digest "$copy")) is not" \
           "$(basename "$original") ($(stat -c %s "$original") bytes, sha256 $(digest "$original"))"
    i=$((i + 1))
  done
}
