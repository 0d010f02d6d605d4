#!/usr/bin/env bash
# TransferAgent's arguments: --help on standard output with exit 0; wrong
# usage exits 2 with one line naming the problem, before anything is touched.
set -euo pipefail
agent="$1/TransferAgent"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export HOME="$work/home"  # not made: wrong usage must not get that far
unset XDG_CONFIG_HOME XDG_RUNTIME_DIR

"$agent" --help > "$work/help.txt" || fail "--help exited $?"
grep -q -- '--server HOST:PORT' "$work/help.txt" || fail "--help printed: $(cat "$work/help.txt")"

# $1: what the line names; the rest: the arguments.
expect_usage_error() {
  local code=0
  "$agent" "${@:2}" > /dev/null 2> "$work/err.txt" || code=$?
  [ "$code" -eq 2 ] || fail "TransferAgent ${*:2} exited $code: $(cat "$work/err.txt")"
  [ "$(wc -l < "$work/err.txt")" -eq 1 ] && grep -q "^TransferAgent: .*$1" "$work/err.txt" ||
    fail "TransferAgent ${*:2} printed: $(cat "$work/err.txt")"
}
expect_usage_error --server --server example.org
expect_usage_error --server --server example.org:0
expect_usage_error --server --server example.org:65536
expect_usage_error --server -o --server
expect_usage_error --bogus --bogus
expect_usage_error extra -o extra
[ ! -e "$HOME" ] || fail "wrong usage made $HOME"

# Without an account: nothing to do for an empty queue; queued e-mails wait for one.
mkdir -p "$HOME"
"$agent" -o > /dev/null 2> "$work/err.txt" || fail "no account, empty queue: exit $?: $(cat "$work/err.txt")"
grep -q "nothing to do" "$work/err.txt" || fail "no account, empty queue: $(cat "$work/err.txt")"
touch "$HOME/.config/Dropwell/MailQueue/queued.txt"
code=0
"$agent" -o > /dev/null 2> "$work/err.txt" || code=$?
[ "$code" -eq 1 ] && grep -q "no account: set one with 'dwl config set-account USER'" "$work/err.txt" ||
  fail "no account, queued e-mail: exit $code: $(cat "$work/err.txt")"
echo "TransferAgent: --help, wrong usage and no account behave"
