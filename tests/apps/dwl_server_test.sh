#!/usr/bin/env bash
# dwl server and dwl upload as a new user runs them: an empty HOME, the real
# programs, loopback only.
set -euo pipefail
dwl="$1"
source "$(dirname "$0")/../../scripts/dwl-server.sh"
use_scratch_folder
fail() { echo "FAIL: $*" >&2; exit 1; }
# Runs the rest of the line, which must exit $1 and end its output with a line matching $2.
expect_exit() {
  local want="$1" pattern="$2" code=0
  shift 2
  "$@" > /dev/null 2> "$work/err.txt" || code=$?
  [ "$code" -eq "$want" ] || fail "'$*' exited $code, not $want: $(cat "$work/err.txt")"
  tail -1 "$work/err.txt" | grep -q -- "$pattern" || fail "'$*' printed: $(cat "$work/err.txt")"
}
# Wrong usage: exit 2 with one line that names $1.
expect_usage_error() {
  expect_exit 2 "$1" "${@:2}"
  [ "$(wc -l < "$work/err.txt")" -eq 1 ] || fail "'${*:2}' printed: $(cat "$work/err.txt")"
}

use_scratch_home

"$dwl" server --help | grep -q -- '--max-size' || fail "server --help"
"$dwl" upload --help | grep -q -- '--download-password' || fail "upload --help"
expect_usage_error '^dwl server: --port:.*70000' "$dwl" server --port 70000
expect_usage_error '^dwl server: --max-size: needs a value' "$dwl" server --max-size
expect_usage_error '^dwl upload: FILE is required' "$dwl" upload --to a@example.org
expect_usage_error '^dwl upload: --attempts' "$dwl" upload --attempts 0 "$work"
# A server that is not there is named, with what happened, once per attempt.
expect_exit 1 "^dwl upload: cannot connect to 127.0.0.1:1: connection refused\$" \
  "$dwl" upload --host 127.0.0.1 --port 1 --user x --attempts 1 "$0" <<< secret
[ "$(wc -l < "$work/err.txt")" -eq 1 ] || fail "a refused connection was told more than once: $(cat "$work/err.txt")"
# Paths are checked before anything else: no password asked for, no connection.
expect_exit 1 "^dwl upload: no such file: $work/missing.bin\$" "$dwl" upload --host 127.0.0.1 --port 1 --user x "$work/missing.bin" < /dev/null
expect_exit 1 "^dwl upload: not a file but a folder: $work\$" "$dwl" upload --host 127.0.0.1 --port 1 --user x "$work" < /dev/null

start_server() {
  start_dwl_server "$dwl" "$work/store" --user alice --password secret --max-size 10000000 || fail "no server"
  port=$dwl_server_port
}
stop_server() { stop_dwl_server || fail "the server did not stop cleanly"; }

start_server
printf 'one\r\nFINA\r\n' > "$work/marker.txt"
head -c 3000000 /dev/urandom > "$work/random.bin"
echo secret | "$dwl" upload --host 127.0.0.1 --port "$port" --user alice --to a@example.org \
    --subject "Plans" --body $'Hello\nBob' "$work/marker.txt" "$work/random.bin" \
    > "$work/upload.txt" 2> "$work/upload-err.txt" || fail "upload exited $?: $(cat "$work/upload-err.txt")"
grep -Eq '^uploaded e-mail [0-9A-F-]{36}: 2\.9 MiB in 2 files$' "$work/upload.txt" \
    || fail "upload printed: $(cat "$work/upload.txt")"
id=$(sed -n 's/^uploaded e-mail \([0-9A-F-]*\):.*/\1/p' "$work/upload.txt")

# Every file the server stored is one of ours, byte for byte.
stored=0
for file in "$work"/store/files/*; do
  case "$file" in *.txt) continue ;; esac
  cmp -s "$file" "$work/marker.txt" || cmp -s "$file" "$work/random.bin" || fail "stored $file differs"
  stored=$((stored + 1))
done
[ "$stored" -eq 2 ] || fail "$stored files stored"
tr -d '\r' < "$work/store/emails/$id.txt" | grep -qx 'a@example.org' || fail "no recipient in the record"
[ "$(stat -c %a "$work/store/emails/$id.txt")" = 600 ] || fail "the record is readable by others"

# A wrong password (at once, not tried again) and a too large e-mail fail with
# one clear line.
upload() { "$dwl" upload --host 127.0.0.1 --port "$port" --user alice "$@"; }
expect_exit 1 "^dwl upload: login refused for 'alice' at 127.0.0.1:$port: set the account with 'dwl config set-account'\$" \
  upload "$work/marker.txt" <<< wrong
[ "$(wc -l < "$work/err.txt")" -eq 1 ] || fail "a refused login was not told once: $(cat "$work/err.txt")"
grep -q "^connection [0-9]*: login refused for 'alice'$" "$work/server.txt" || fail "the server did not log the refusal"
! grep -q wrong "$work/server.txt" || fail "the server logged the password"
head -c 10000001 /dev/zero > "$work/large.bin"
expect_exit 1 'refuses an e-mail of this size' upload "$work/large.bin" <<< secret

# A restarted server keeps what it has and serves again.
stop_server
start_server
echo secret | "$dwl" upload --host 127.0.0.1 --port "$port" --user alice "$work/marker.txt" \
    > "$work/upload.txt" 2> "$work/upload-err.txt" || fail "upload after restart exited $?"
[ -f "$work/store/emails/$id.txt" ] || fail "the first e-mail's record is gone"
# Ctrl-C in the middle of a file: exit 130, where the file stood, and the
# same command run again resumes the same e-mail and its file.
stop_server
start_dwl_server "$dwl" "$work/store2" --user alice --password secret || fail "no server"
port=$dwl_server_port
head -c $((64 * 1048576)) /dev/urandom > "$work/big.bin"
"$dwl" upload --host 127.0.0.1 --port "$port" --user alice "$work/big.bin" <<< secret \
  > "$work/first.txt" 2> "$work/first-err.txt" &
uploading=$!
stored_some() { [ -n "$(find "$work/store2/files" -type f ! -name '*.txt' -size +0c)" ]; }
wait_until 60 stored_some || fail "no upload began: $(cat "$work/first-err.txt")"
kill -STOP "$dwl_server_pid"
kill -INT "$uploading"
code=0
wait "$uploading" || code=$?
kill -CONT "$dwl_server_pid"
[ "$code" -eq 130 ] || fail "the interrupted upload exited $code: $(cat "$work/first-err.txt")"
grep -Eq '^interrupted: big\.bin [0-9]+ % on the server; run again to resume$' "$work/first-err.txt" ||
  fail "the interrupted upload printed: $(cat "$work/first-err.txt")"
upload "$work/big.bin" <<< secret > "$work/again.txt" 2> "$work/again-err.txt" ||
  fail "the upload run again exited $?: $(cat "$work/again-err.txt")"
resumed=$(sed -n 's/^resuming e-mail \([0-9A-F-]*\) of an earlier run$/\1/p' "$work/again-err.txt")
[ -n "$resumed" ] || fail "the second run did not resume: $(cat "$work/again-err.txt")"
grep -q "^uploaded e-mail $resumed: 64.0 MiB in 1 file$" "$work/again.txt" || fail "the second run printed: $(cat "$work/again.txt")"
big=$(tr -d '\r' < "$work/store2/emails/$resumed.txt" | sed -n '/^<Attachment>$/{n;p}')
cmp -s "$work/big.bin" "$work/store2/files/$big" || fail "the resumed file differs"

stop_server

# A host name is a place to listen, and the store goes to the user's Dropwell
# folder, not the folder the server was started from.
(cd "$work" && exec "$dwl" server --address localhost > "$work/named.txt" 2>&1) &
named=$!
stop_on_exit "$named"
told_store() { grep -q "^dwl server: listening on 127\.0\.0\.1:[0-9]*, store $HOME/.config/Dropwell/server-store\$" "$work/named.txt"; }
wait_until 5 told_store || fail "dwl server --address localhost said: $(cat "$work/named.txt")"
[ -d "$HOME/.config/Dropwell/server-store/files" ] || fail "no store in the user's folder"
[ ! -e "$work/dwl-server-store" ] || fail "a store in the current folder"
kill "$named"
echo "dwl server and dwl upload work"
