#!/usr/bin/env bash
# Runs a dwl sim script as a new user would (a fresh HOME, an empty working
# folder) and compares its whole output, standard error and exit code
# included, with the expected file.
set -uo pipefail
dwl="$1"
script="$2"
expected="$3"
download_url="$4"  # the build's; the expected output says <download-url>
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/home"
# A picture for the clipboard commands.
cp "$(dirname "$script")/../../resources/add_file_icon.bmp" "$work/picture.bmp"
# Message bodies for the mail ... body-file and html-file commands.
cp "$(dirname "$script")"/bodies/* "$work/"
cd "$work"
actual=$(env -u XDG_CONFIG_HOME -u XDG_DOCUMENTS_DIR HOME="$work/home" LC_ALL=C \
           "$dwl" sim "$script" 2>&1; echo "exit $?")
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
