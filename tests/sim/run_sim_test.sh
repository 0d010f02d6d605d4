#!/usr/bin/env bash
# Runs a dwl sim script as a new user would (a fresh HOME, an empty working
# folder) and compares its whole output, standard error and exit code
# included, with the expected file. Given DWLOutlookAddin.dll as well, runs
# the Windows dwl.exe under Wine with the add-in loaded from that DLL
# (registered for the Wine user for the run) and compares the same way,
# with Windows paths written as the Linux run writes them.
set -uo pipefail
dwl="$1"
script="$2"
expected="$3"
download_url="$4"  # the build's; the expected output says <download-url>
addin="${5:-}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/home"
# A picture for the clipboard commands.
cp "$root/resources/add_file_icon.bmp" "$work/picture.bmp"
# Message bodies for the mail ... body-file and html-file commands.
cp "$(dirname "$script")"/bodies/* "$work/"
cp "$script" "$work/"
cd "$work"
if [ -z "$addin" ]; then
  actual=$(env -u XDG_CONFIG_HOME -u XDG_DOCUMENTS_DIR HOME="$work/home" LC_ALL=C \
             "$dwl" sim "$script" 2>&1; echo "exit $?")
else
  export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/dwl-wine-$(id -u)}"
  windows_path() { local path="Z:$1"; echo "${path//\//\\}"; }
  wine_run() { "$root/scripts/wine-run" "$@"; }
  # The Wine user's own folder stands for the fresh HOME.
  "$root/scripts/wine-run" "$dwl" --help > /dev/null
  appdata="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Dropwell"
  rm -rf "$appdata"
  regsvr32=/usr/lib/wine/wine
  file -b "$addin" | grep -q 'x86-64' && regsvr32=/usr/lib/wine/wine64
  WINEDEBUG=-all "$regsvr32" regsvr32 /s "$(windows_path "$addin")" || { echo "FAIL: regsvr32 $addin"; exit 1; }
  trap 'WINEDEBUG=-all "$regsvr32" regsvr32 /u /s "$(windows_path "$addin")"; rm -rf "$work"' EXIT
  # The host runs from a folder of its own, as outlook.exe does: the add-in
  # must find its pictures and TransferAgent beside the DLL, not beside it.
  mkdir "$work/host"
  cp "$dwl" "$work/host/"
  # The console's text mode writes each line feed as CR LF: one CR goes.
  actual=$(wine_run "$work/host/$(basename "$dwl")" sim --addin "$(windows_path "$addin")" "$(basename "$script")" 2>&1 | sed 's/\r$//'
           echo "exit ${PIPESTATUS[0]}")
  # Windows paths as the Linux run writes them: the working folder, the
  # user's folder, the programs' folder.
  actual=${actual//"$(windows_path "$work")"/"$work"}
  actual=${actual//"C:\\users\\$(id -un)\\AppData\\Roaming\\Dropwell\\"/"$work/home/.config/Dropwell/"}
  actual=${actual//"$(windows_path "$(dirname "$dwl")")"/"$(dirname "$dwl")"}
  actual=$(printf '%s\n' "$actual" | WORK="$work" perl -pe 's{(\Q$ENV{WORK}\E)([^ |]*)}{$1 . ($2 =~ tr|\\|/|r)}ge')
fi
# What differs between builds, machines and runs: the download address,
# folders and new e-mail identifiers.
actual=${actual//"$download_url"/"<download-url>"}
actual=${actual//"$work/home"/"~"}
actual=${actual//"$work"/"."}
actual=${actual//"$(dirname "$dwl")"/"<bin>"}
actual=${actual//"$(dirname "$script")/"/""}
actual=$(printf '%s\n' "$actual" |
         sed -E 's/[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}/<ID>/g')
if ! diff -u "$expected" <(printf '%s\n' "$actual"); then
  echo "FAIL: $(basename "$script") differs from $(basename "$expected")" >&2
  exit 1
fi
