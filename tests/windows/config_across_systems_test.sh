#!/usr/bin/env bash
# settings.cfg written by dwl.exe under Wine reads on Linux and the other way
# round; in code page 1252 "böb" round-trips and a name with "Ł" is refused.
source "$(dirname "$0")/lib.sh" "$1" "$2"

user_name() { sed -n 's/^User name: *//p' "$1" | tr -d '\r'; }
echo "secret one" | dwl_exe config set-account alice > "$work/out.txt" 2>&1 || fail "dwl.exe: $(cat "$work/out.txt")"
mkdir -p "$HOME/.config/Dropwell"
cp "$appdata/settings.cfg" "$HOME/.config/Dropwell/settings.cfg"
"$linux_bin/dwl" config show > "$work/linux.txt" || fail "Linux dwl config show failed"
[ "$(user_name "$work/linux.txt")" = alice ] || fail "Linux does not read the account written under Wine: $(cat "$work/linux.txt")"

echo "secret two" | "$linux_bin/dwl" config set-account bob > /dev/null
cp "$HOME/.config/Dropwell/settings.cfg" "$appdata/settings.cfg"
dwl_exe config show > "$work/wine.txt" || fail "dwl.exe config show failed"
[ "$(user_name "$work/wine.txt")" = bob ] || fail "Wine does not read the account written on Linux: $(cat "$work/wine.txt")"

echo "secret" | dwl_exe config set-account "böb" > "$work/out.txt" 2>&1 || fail "böb refused: $(cat "$work/out.txt")"
dwl_exe config show > "$work/wine.txt"
[ "$(user_name "$work/wine.txt")" = böb ] || fail "böb did not round-trip: $(cat "$work/wine.txt")"

code=0
echo "secret" | dwl_exe config set-account "Łukasz" > "$work/out.txt" 2>&1 || code=$?
[ "$code" -eq 1 ] || fail "Łukasz was not refused (exit $code)"
grep -q "code page" "$work/out.txt" || fail "the refusal does not say why: $(cat "$work/out.txt")"
dwl_exe config show > "$work/wine.txt"
[ "$(user_name "$work/wine.txt")" = böb ] || fail "the refused name changed the stored one"
echo "settings.cfg reads on both systems; böb round-trips, Łukasz is refused"
