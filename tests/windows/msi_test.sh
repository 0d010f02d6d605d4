#!/usr/bin/env bash
# The build's per-user package under Wine's msiexec of the build's bitness:
# installed without a self-registration, its files in the user's
# Programs\Dropwell and the add-in's keys in HKCU; the installed dwl.exe
# loads the installed DLL through those keys; a newer version replaces it,
# an older one does not; removing it leaves nothing of ours. Argument: the
# build's programs folder. Skipped (77) without wixl and msitools;
# KEEP_WORK=1 keeps the packages and msiexec's logs.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
bin=$(cd "$1" && pwd)
wine_run="$root/scripts/wine-run"
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/dwl-wine-$(id -u)}"

fail() { echo "FAIL: $*" >&2; exit 1; }
command -v wixl > /dev/null && command -v msiinfo > /dev/null || { echo "no wixl or msiinfo: skipped"; exit 77; }

arch=x86
system32="$WINEPREFIX/drive_c/windows/syswow64"
if file -b "$bin/DWLOutlookAddin.dll" | grep -q 'x86-64'; then
  arch=x64
  system32="$WINEPREFIX/drive_c/windows/system32"
fi
# The tools of the package's bitness: a 32-bit msiexec writes through the
# 32-bit registry view, and reg of that bitness reads it back.
msiexec() { "$wine_run" "$system32/msiexec.exe" "$@"; }
reg() { "$wine_run" "$system32/reg.exe" "$@" 2> /dev/null | iconv -f CP437 -t UTF-8 | tr -d '\r'; }
source "$(dirname "$0")/addin_keys.sh"
key_exists() { "$wine_run" "$system32/reg.exe" query "$1" > /dev/null 2>&1; }
windows_path() { local path="Z:$1"; echo "${path//\//\\}"; }

work=$(mktemp -d)
installed=
cleanup() {
  [ -z "$installed" ] || remove_all_installed
  [ -n "${KEEP_WORK:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT

# The prefix is made before its folders are looked at.
"$wine_run" "$bin/dwl.exe" --help > /dev/null || fail "dwl.exe does not start under Wine"
user=$(id -un)
local_appdata="$WINEPREFIX/drive_c/users/$user/AppData/Local"
folder="$local_appdata/Programs/Dropwell"
windows_dll="C:\\users\\$user\\AppData\\Local\\Programs\\Dropwell\\DWLOutlookAddin.dll"
own_key='HKCU\Software\Dropwell\Outlook AddIn'
our_keys=("$classes\\DWLOutlookAddin.Connect" "$classes\\CLSID\\$clsid" "$addin_key" "$own_key")
programs=(DWLOutlookAddin.dll TransferAgent.exe dwl.exe temp/add_file_icon.bmp temp/add_file_icon_XP.bmp
          recources/dialog_banner.gif)

# "<product code> <version>" of each installed package of ours, as the
# Programs list shows them: one Wine has one machine, so both views count.
products_in() {
  local wine=$1 tool=$2 where
  for where in HKLM HKCU; do
    # A missing key is no product.
    { WINEDEBUG=-all "$wine" "$tool" query "$where\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s 2> /dev/null ||
        true; } |
      tr -d '\r' | awk '/^HKEY_/ { key = $0; sub(/.*\\/, "", key) }
                        /^ +DisplayName +REG_SZ +Dropwell Outlook AddIn/ { ours = key }
                        /^ +DisplayVersion +REG_SZ/ && key == ours { print key, $3 }'
  done
}
products() {
  products_in /usr/lib/wine/wine64 "$WINEPREFIX/drive_c/windows/system32/reg.exe"
  products_in /usr/lib/wine/wine "$WINEPREFIX/drive_c/windows/syswow64/reg.exe"
}
remove_all_installed() {
  local code version
  while read -r code version; do
    WINEDEBUG=-all /usr/lib/wine/wine64 msiexec /x "$code" /qn > /dev/null 2>&1 ||
      WINEDEBUG=-all /usr/lib/wine/wine msiexec /x "$code" /qn > /dev/null 2>&1 || true
  done < <(products)
}

# What an earlier run, or a regsvr32 of another test, may have left: a
# registration found already there would pass the checks below.
remove_all_installed
for key in "${our_keys[@]}"; do "$wine_run" "$system32/reg.exe" delete "$key" /f > /dev/null 2>&1 || true; done
rm -rf "$folder"
[ -z "$(products)" ] || fail "a package of ours stays installed: $(products)"
for key in "${our_keys[@]}"; do ! key_exists "$key" || fail "$key stays before the install"; done
programs_folder_there=
[ ! -d "$local_appdata/Programs" ] || programs_folder_there=yes
rm -rf "$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Dropwell"

# The project's version, and a newer one whose banner differs.
version=$(sed -n 's/^project(Dropwell VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
newer_version="${version%.*}.$((${version##*.} + 1))"
mkdir -p "$work/newer/temp" "$work/newer/recources"
for program in "${programs[@]}"; do cp "$bin/$program" "$work/newer/$program"; done
printf 'the newer package\n' >> "$work/newer/recources/dialog_banner.gif"
"$root/scripts/package" --arch "$arch" --bin "$bin" --version "$version" --output "$work" > /dev/null ||
  fail "scripts/package failed"
"$root/scripts/package" --arch "$arch" --bin "$work/newer" --version "$newer_version" --output "$work" > /dev/null ||
  fail "scripts/package failed for the newer version"
older="$work/Dropwell-$version-$arch.msi"
newer="$work/Dropwell-$newer_version-$arch.msi"

# Wine does not redirect HKCU\Software\Classes\CLSID for 32-bit programs as
# Windows does, so the package's own marks are read: 64-bit components in
# the x64 package only, else Windows writes the class in the wrong view.
attributes=$(msiinfo export "$older" Component | awk -F '\t' 'NR > 3 { print $4 }' | sort -u)
[ -n "$attributes" ] || fail "no components in $older"
for attribute in $attributes; do
  if [ "$arch" = x64 ]; then
    (( attribute & 256 )) || fail "a 32-bit component in the x64 package: $(msiinfo export "$older" Component)"
  else
    (( !(attribute & 256) )) || fail "a 64-bit component in the x86 package: $(msiinfo export "$older" Component)"
  fi
done

install_package() {
  local log="$work/$(basename "$1" .msi).log"
  installed=yes
  msiexec /i "$(windows_path "$1")" /qn /l*v "$(windows_path "$log")" ||
    { tail -n 40 "$log" >&2; fail "msiexec /i $(basename "$1") failed"; }
}

check_installed() {  # the programs' folder the package was built from, its version
  local from=$1 expected=$2 program list
  for program in "${programs[@]}"; do
    cmp -s "$from/$program" "$folder/$program" || fail "$program not installed from $from: $(ls -R "$folder")"
  done
  [ -d "$folder/temp/logs" ] && [ -d "$folder/temp/UserData" ] || fail "no temp/logs or temp/UserData"
  [ "$(value "$classes\\DWLOutlookAddin.Connect" /ve)" = "Dropwell Outlook AddIn" ] || fail "the ProgID's name"
  [ "$(value "$classes\\CLSID\\$clsid" /ve)" = "Dropwell Outlook AddIn" ] || fail "the class's name"
  check_addin_keys "$windows_dll"
  list=$(products)
  [ "$(printf '%s\n' "$list" | grep -c .)" = 1 ] || fail "not one package installed: $list"
  [ "${list##* }" = "$expected" ] || fail "installed version ${list##* }, expected $expected"
}

# The add-in from the installed DLL, found through the installed keys: its
# toolbar button with the icon from the installed temp folder.
cat > "$work/toolbar.sim" <<'SIM'
connect
open m1
activate m1
print m1 toolbars
print m1 icon
SIM
check_loads() {
  local output
  output=$(cd "$work" && "$wine_run" "$folder/dwl.exe" sim --addin "$windows_dll" toolbar.sim 2>&1 | tr -d '\r') ||
    fail "the installed add-in does not run: $output"
  [ "$output" = $'DropwellAttachments\nadd_file_icon_XP.bmp' ] || fail "the installed add-in: $output"
}

install_package "$older"
check_installed "$bin" "$version"
check_loads
echo "installed $version in $folder; the installed dwl.exe loads the installed add-in"

install_package "$newer"
check_installed "$work/newer" "$newer_version"
check_loads
echo "$newer_version replaced $version"

# A package rebuilt with the same version (a new product code) replaces it too.
first=$(products)
"$root/scripts/package" --arch "$arch" --bin "$work/newer" --version "$newer_version" --output "$work/rebuilt" \
  > /dev/null || fail "scripts/package failed for the rebuild"
rebuilt="$work/rebuilt/$(basename "$newer")"
install_package "$rebuilt"
check_installed "$work/newer" "$newer_version"
[ "$(products)" != "$first" ] || fail "the rebuild did not replace $first"
echo "a rebuild of $newer_version replaced the installed one"

msiexec /i "$(windows_path "$older")" /qn /l*v "$(windows_path "$work/downgrade.log")" &&
  fail "$version installed over $newer_version"
check_installed "$work/newer" "$newer_version"
echo "$version does not replace $newer_version"

# The add-in wrote its logs beside it above. The package removes them with
# a wildcard RemoveFile row, which Windows expands and Wine's msi does not
# (it deletes a file named "*"): the row is checked here, the logs go by hand.
ls "$folder"/temp/logs/*.log > /dev/null 2>&1 || fail "the add-in wrote no log in $folder/temp/logs"
msiinfo export "$rebuilt" RemoveFile | tr -d '\r' | grep -qx $'RemoveLogs\tLogs\t\*\tLogsFolder\t2' ||
  fail "no removal of the logs on uninstall: $(msiinfo export "$rebuilt" RemoveFile)"
rm -f "$folder"/temp/logs/*
msiexec /x "$(windows_path "$rebuilt")" /qn /l*v "$(windows_path "$work/remove.log")" ||
  { tail -n 40 "$work/remove.log" >&2; fail "msiexec /x failed"; }
installed=
[ ! -e "$folder" ] || fail "left behind: $(cd "$folder" && find .)"
[ -n "$programs_folder_there" ] || [ ! -e "$local_appdata/Programs" ] || fail "the Programs folder stayed"
for key in "${our_keys[@]}"; do ! key_exists "$key" || fail "$key stayed: $(reg query "$key" /s)"; done
[ -z "$(products)" ] || fail "still installed: $(products)"
echo "removed: no file, folder or key of ours left"
