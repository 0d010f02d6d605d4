#!/usr/bin/env bash
# dwl config as a new user runs it: an empty HOME, the real program.
set -euo pipefail
dwl="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# Runs the rest of the line, which must exit $1 with one line on standard error holding $2.
expect_exit() {
  local want="$1" text="$2" code=0
  shift 2
  "$@" > /dev/null 2> "$work/err.txt" || code=$?
  [ "$code" -eq "$want" ] || fail "'$*' exited $code, not $want: $(cat "$work/err.txt")"
  [ "$(wc -l < "$work/err.txt")" -eq 1 ] && grep -qF -- "$text" "$work/err.txt" || fail "'$*' printed: $(cat "$work/err.txt")"
}

export HOME="$work/home"
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_DOCUMENTS_DIR

echo secret | "$dwl" config set-account alice > "$work/out.txt" || fail "set-account exited $?"
[ "$(cat "$work/out.txt")" = "account saved for alice" ] || fail "set-account said: $(cat "$work/out.txt")"
"$dwl" config show > "$work/show.txt" || fail "show exited $?"
grep -qx 'User name:            alice' "$work/show.txt" || fail "user: $(cat "$work/show.txt")"
grep -qx 'Password:             set' "$work/show.txt" || fail "password: $(cat "$work/show.txt")"
grep -qx "Application folder:   $HOME/.config/Dropwell/" "$work/show.txt" || fail "folder: $(cat "$work/show.txt")"

cfg="$HOME/.config/Dropwell/settings.cfg"
[ "$(wc -l < "$cfg")" -eq 15 ] || fail "settings.cfg has $(wc -l < "$cfg") lines"
[ "$(grep -c $'\r$' "$cfg")" -eq 15 ] || fail "settings.cfg lines do not all end in CR LF"
[ "$(stat -c %a "$cfg")" = 600 ] || fail "settings.cfg mode $(stat -c %a "$cfg")"
expected=$'<UserName>\n*\n</UserName>\n<Password>\n*\n</Password>\n<MinimalFileSize>\n0\n</MinimalFileSize>\n<DisplayProgressPopup>\nTrue\n</DisplayProgressPopup>\n<AccountGUID>\n\n</AccountGUID>'
actual=$(tr -d '\r' < "$cfg" | sed '2s/^[0-9A-F]\{40,\}$/*/; 5s/^[0-9A-F]\{40,\}$/*/')
[ "$actual" = "$expected" ] || fail "settings.cfg reads: $actual"

"$dwl" config set min-file-size 5 || fail "set min-file-size exited $?"
"$dwl" config set progress-popup false || fail "set progress-popup exited $?"
"$dwl" config show > "$work/show.txt" || fail "show exited $?"
grep -qx 'MinimalFileSize:      5 bytes' "$work/show.txt" || fail "min-file-size not kept: $(cat "$work/show.txt")"
grep -qx 'DisplayProgressPopup: False' "$work/show.txt" || fail "progress-popup not kept: $(cat "$work/show.txt")"
"$dwl" config show | grep -qx 'User name:            alice' || fail "account lost by a later save"

# --help on standard output; wrong usage (more in DwlConfigTest.cpp) exits 2, a failure 1.
"$dwl" --help | grep -q config || fail "dwl --help does not list config"
"$dwl" config --help | grep -q 'set progress-popup true|false' || fail "dwl config --help"
expect_exit 2 'expected one of config, sim, server, upload (see dwl --help)' "$dwl"
expect_exit 2 "dwl config set progress-popup: VALUE: maybe" "$dwl" config set progress-popup maybe
expect_exit 2 "dwl config set min-file-size: BYTES: takes a whole number from 0 to 2147483647, not '-3'" \
  "$dwl" config set min-file-size -3
# With e-mails queued, a new account sends them at once: TransferAgent -o
# starts (here it finds a queue file it cannot read and moves it to Failed,
# so nothing leaves the machine).
printf '<AttachmentSize>\r\nmany\r\n</AttachmentSize>\r\n' > "$HOME/.config/Dropwell/MailQueue/broken.txt"
echo secret | "$dwl" config set-account alice > "$work/out.txt" || fail "set-account exited $?"
grep -qx "TransferAgent started to send 1 queued e-mail" "$work/out.txt" || fail "set-account said: $(cat "$work/out.txt")"
for _ in $(seq 100); do [ -f "$HOME/.config/Dropwell/Failed/broken.txt" ] && break; sleep 0.1; done
[ -f "$HOME/.config/Dropwell/Failed/broken.txt" ] || fail "no TransferAgent took the queue"

expect_exit 1 'dwl config: no password on standard input' "$dwl" config set-account bob < /dev/null
expect_exit 1 'dwl config: the password must not be empty' "$dwl" config set-account bob <<< ''
"$dwl" config show | grep -qx 'User name:            alice' || fail "a failed set-account changed the account"

# An application-data folder that cannot hold anything: the fallback beside the program.
name="dwl-test-$$-$RANDOM"
mkdir -p "$work/$name"
touch "$work/$name/config-file"
module=$(dirname "$dwl")
fallback="$module/temp/UserData/$name/"
trap 'rm -rf "$work" "$fallback"' EXIT
XDG_CONFIG_HOME="$work/$name/config-file" "$dwl" config show > "$work/show.txt" || fail "fallback show exited $?"
grep -qx "Application folder:   $fallback" "$work/show.txt" || fail "fallback: $(cat "$work/show.txt")"
[ -d "$fallback/MailQueue" ] || fail "no fallback queue folder"

# A settings file that cannot be read: exit 1 with one line naming it.
rm -rf "$HOME/.config/Dropwell/settings.cfg" && mkdir "$HOME/.config/Dropwell/settings.cfg"
expect_exit 1 settings.cfg "$dwl" config show
echo "dwl config: all checks passed"
