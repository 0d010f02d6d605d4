#!/usr/bin/env bash
# Runs a dwl sim script as a new user would (a fresh HOME) and compares its
# whole output, standard error and exit code included, with the expected file.
set -uo pipefail
dwl="$1"
script="$2"
expected="$3"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
cd "$(dirname "$script")"
actual=$(env -u XDG_CONFIG_HOME -u XDG_DOCUMENTS_DIR HOME="$home" LC_ALL=C \
           "$dwl" sim "$(basename "$script")" 2>&1; echo "exit $?")
# Paths that differ between machines.
actual=${actual//"$home"/"~"}
actual=${actual//"$(dirname "$dwl")"/"<bin>"}
if ! diff -u "$expected" <(printf '%s\n' "$actual"); then
  echo "FAIL: $(basename "$script") differs from $(basename "$expected")" >&2
  exit 1
fi
