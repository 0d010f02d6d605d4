#!/usr/bin/env bash
# DWLOutlookAddin.dll under Wine of its own bitness: regsvr32 registers it per
# user (read back with reg), the test host loads it through that registration
# and drives its Connect object, and regsvr32 /u removes what was registered
# and nothing else. Arguments: the DLL and the test host of the same build.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
dll=$1
host=$2
wine_run="$root/scripts/wine-run"
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/dwl-wine-$(id -u)}"

fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d)
# A failed run leaves no registration of a DLL that is gone.
registered=
cleanup() {
  [ -z "$registered" ] || regsvr32 /u /s "$windows_dll" > /dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

display_key='HKCU\Software\VB and VBA Program Settings\DWLOutlookAddin\Settings'

# The host also makes the prefix, before its system folders are looked up.
"$wine_run" "$host" --help > /dev/null || fail "the test host does not start under Wine"
# Wine's tools of the DLL's bitness: a 32-bit process sees the 32-bit view
# of the classes.
system="$WINEPREFIX/drive_c/windows/system32"
file -b "$dll" | grep -q 'x86-64' || system="$WINEPREFIX/drive_c/windows/syswow64"
regsvr32() { "$wine_run" "$system/regsvr32.exe" "$@"; }
# reg writes to a pipe in the OEM code page, 437 under scripts/wine-run.
reg() { "$wine_run" "$system/reg.exe" "$@" 2> /dev/null | iconv -f CP437 -t UTF-8 | tr -d '\r'; }
source "$(dirname "$0")/addin_keys.sh"
key_exists() { "$wine_run" "$system/reg.exe" query "$1" > /dev/null 2>&1; }

# Where an installer puts it: a folder with a space and a letter outside
# ASCII, which the registered path must keep exactly.
folder="$work/Add-in für Outlook"
mkdir -p "$folder"
cp "$dll" "$folder/DWLOutlookAddin.dll"
windows_dll="Z:${folder//\//\\}\\DWLOutlookAddin.dll"

# What an earlier run may have left.
for key in "$display_key" "$classes\\CLSID\\$clsid"; do
  "$wine_run" "$system/reg.exe" delete "$key" /f > /dev/null 2>&1 || true
done
registered=yes
regsvr32 /s "$windows_dll" || fail "regsvr32 /s failed"

check_addin_keys "$windows_dll"
echo "registered: $clsid in $windows_dll"

"$wine_run" "$host" > "$work/host.txt" 2>&1 || { cat "$work/host.txt"; fail "the test host found faults"; }
cat "$work/host.txt"
# The core ran with the Windows platform installed: its settings store and
# its log beside the DLL.
[ "$(value "$display_key" /v DisplayOnConnect)" = 0 ] || fail "disconnecting did not store DisplayOnConnect"
log=$(ls "$folder"/temp/logs/DropwellOutlookAddIn_*.log 2> /dev/null | head -n 1)
[ -n "$log" ] || fail "no log beside the DLL: $(ls -R "$folder")"
grep -q "Start AppSettings.AddProgrammToUserApplicationData()" "$log" || fail "the hub did not load: $(cat "$log")"
# Once by vtable, once by Invoke.
[ "$(grep -c " - Connect.OnConnection:Object variable or With block variable not set, 91" "$log")" = 2 ] ||
  fail "the failed connections were not logged: $(cat "$log")"
grep -q " - Connect.OnConnection:refused by the test, -2147024891" "$log" ||
  fail "the host's failure was not logged: $(cat "$log")"

# A key someone else added under the class stays, and the class key with it.
"$wine_run" "$system/reg.exe" add "$classes\\CLSID\\$clsid\\TreatAs" /ve /d '{00000000-0000-0000-C000-000000000046}' /f > /dev/null 2>&1
regsvr32 /u /s "$windows_dll" || fail "regsvr32 /u /s failed"
registered=
! key_exists "$addin_key" || fail "the Outlook add-in key stayed"
! key_exists "$classes\\DWLOutlookAddin.Connect" || fail "the ProgID stayed"
! key_exists "$classes\\CLSID\\$clsid\\InprocServer32" || fail "InprocServer32 stayed"
! key_exists "$classes\\CLSID\\$clsid\\ProgID" || fail "the class's ProgID stayed"
! reg query "$classes\\CLSID\\$clsid" /s | grep -q Dropwell || fail "the class's name stayed"
key_exists "$classes\\CLSID\\$clsid\\TreatAs" || fail "unregistering removed a key it did not write"
"$wine_run" "$system/reg.exe" delete "$classes\\CLSID\\$clsid" /f > /dev/null 2>&1
regsvr32 /u /s "$windows_dll" || fail "unregistering what is not registered failed"
echo "unregistered; a foreign TreatAs survived"
