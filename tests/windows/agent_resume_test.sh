#!/usr/bin/env bash
# TransferAgent.exe under Wine uploads what dwl.exe queued to the Linux
# server; cut off in the middle of the file, it resumes the file and the
# server's copy is byte-identical.
source "$(dirname "$0")/lib.sh" "$1" "$2"

start_dwl_server "$linux_bin/dwl" "$work/store" --user tester --password "pass word" || fail "the server did not start"
port=$dwl_server_port
echo "pass word" | dwl_exe config set-account tester > "$work/config.txt" 2>&1 ||
  fail "dwl.exe config set-account: $(cat "$work/config.txt")"

random_file "$work/large.bin" $((64 * 1048576))
cat > "$work/queue.sim" << SIM
host agent=record
connect
open m1
activate m1
click
dialog add $(windows_path "$work/large.bin")
dialog ok
mail m1 to someone@example.org
mail m1 subject "Cut and resumed under Wine"
send m1
close m1
SIM
dwl_exe sim "$(windows_path "$work/queue.sim")" > "$work/sim.txt" 2>&1 || fail "dwl.exe sim: $(cat "$work/sim.txt")"
mapfile -t queued < <(ls "$queue")
[ "${#queued[@]}" -eq 1 ] || fail "not one queue file but: ${queued[*]}"
email_id=${queued[0]%.txt}

# The server goes down in the middle of the file and comes back on the same
# port with the same store: the agent connects again and resumes. (Killing
# the agent instead would not end its connection: Wine's server keeps a
# killed program's socket open.)
"$wine_run" "$windows_bin/TransferAgent.exe" --server "127.0.0.1:$port" -o > "$work/agent.txt" 2>&1 &
agent_pid=$!
stop_on_exit "$agent_pid"
stored() { find "$work/store/files" -type f ! -name '*.txt' "$@" 2> /dev/null; }
wait_until 60 eval '[ -n "$(stored -size +0c)" ]' || fail "no upload began in 60 s: $(cat "$work/agent.txt")"
kill -KILL "$dwl_server_pid"
wait "$dwl_server_pid" 2> /dev/null || true
partial=$(stored)
held=$(stat -c %s "$partial")
[ "$held" -lt $((64 * 1048576)) ] || fail "the file was whole before the cut"
start_dwl_server "$linux_bin/dwl" "$work/store" --port "$port" --user tester --password "pass word" ||
  fail "the server did not start again"
wait_until 120 exited "$agent_pid" || fail "the agent did not finish in 120 s: $(cat "$work/agent.txt")"
code=0
wait "$agent_pid" || code=$?
[ "$code" -eq 0 ] || fail "the agent exited $code: $(cat "$work/agent.txt")"
grep -q "^e-mail $email_id finished" "$work/server.txt" || fail "the server did not finish the e-mail: $(cat "$work/server.txt")"
[ "$(stored | wc -l)" -eq 1 ] || fail "the file was sent anew, not resumed"
cmp -s "$partial" "$work/large.bin" || fail "the server's copy differs from the file"
[ -z "$(ls -A "$queue")" ] || fail "the queue still holds: $(ls "$queue")"
echo "resumed at byte $held of $((64 * 1048576)) under Wine; the server's copy is byte-identical"
