# Shell functions for scripts that run `dwl server` (tests, benchmarks).
# Source this file, then:
#   use_scratch_folder                  $work: a new folder, removed on exit with any server
#   start_dwl_server DWL STORE [OPT...] starts the server on a port the system picks;
#                                       sets $dwl_server_pid and $dwl_server_port
#   stop_dwl_server                     SIGTERM; fails unless the server stopped cleanly
# The server's output goes to $work/server.txt.

dwl_server_pid=""
dwl_server_port=""

use_scratch_folder() {
  work=$(mktemp -d)
  trap 'if [ -n "$dwl_server_pid" ]; then kill "$dwl_server_pid" 2>/dev/null; wait "$dwl_server_pid" 2>/dev/null; fi; rm -rf "$work"' EXIT
}

start_dwl_server() {
  local dwl="$1" store="$2"
  shift 2
  "$dwl" server --store "$store" "$@" > "$work/server.txt" 2>&1 &
  dwl_server_pid=$!
  for _ in $(seq 100); do
    dwl_server_port=$(sed -n 's/^dwl server: listening on 127\.0\.0\.1:\([0-9]*\), store .*/\1/p' "$work/server.txt")
    [ -n "$dwl_server_port" ] && return 0
    sleep 0.05
  done
  echo "the server did not tell its port: $(cat "$work/server.txt")" >&2
  return 1
}

stop_dwl_server() {
  kill "$dwl_server_pid"
  local code=0
  wait "$dwl_server_pid" || code=$?
  dwl_server_pid=""
  if [ "$code" -ne 0 ] || ! grep -q '^dwl server: stopped$' "$work/server.txt"; then
    echo "the server exited $code: $(cat "$work/server.txt")" >&2
    return 1
  fi
}
