#!/usr/bin/env bash
# Outlook's start-up limit through COM under Wine: registers each built
# DWLOutlookAddin.dll (64-bit, then 32-bit) for the Wine user, times its
# connection until the hub listens (bench/AddInConnectionTime.cpp) and
# unregisters it. Build first: cmake --preset mingw64 && cmake --build
# build-mingw64 (and the same for mingw32).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rounds="${1:-50}"
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/dwl-wine-$(id -u)}"
export WINEDEBUG=-all
windows_path() { local path="Z:$1"; echo "${path//\//\\}"; }
for build in build-mingw64 build-mingw32; do
  bin="$root/$build/bin"
  [ -f "$bin/DWLOutlookAddin.dll" ] || { echo "$build: not built, skipped"; continue; }
  wine=/usr/lib/wine/wine
  [ "$build" = build-mingw64 ] && wine=/usr/lib/wine/wine64
  dll="$(windows_path "$bin/DWLOutlookAddin.dll")"
  "$root/scripts/wine-run" "$bin/dwl_addin_connection.exe" --help > /dev/null
  "$wine" regsvr32 /s "$dll"
  echo "== $build ($rounds rounds)"
  "$root/scripts/wine-run" "$bin/dwl_addin_connection.exe" "$dll" --rounds "$rounds" || status=$?
  "$wine" regsvr32 /u /s "$dll"
  [ "${status:-0}" -eq 0 ] || exit "$status"
done
