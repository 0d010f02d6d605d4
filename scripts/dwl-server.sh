# Shell functions for scripts that run `dwl server` (tests, benchmarks, the demo).
# Source this file, then:
#   use_scratch_folder                  $work: a new folder, removed on exit with any server
#                                       and the processes of stop_on_exit
#   use_scratch_home                    HOME (and XDG_RUNTIME_DIR) in $work, as a new user
#                                       of this machine has them
#   stop_on_exit PID...                 more processes to stop on exit
#   wait_until SECONDS COMMAND...       runs COMMAND until it succeeds, every $poll_seconds
#                                       (default 0.02); fails after SECONDS
#   start_dwl_server DWL STORE [OPT...] starts the server on a port the system picks;
#                                       sets $dwl_server_pid and $dwl_server_port
#   stop_dwl_server                     SIGTERM; fails unless the server stopped cleanly
# The server's output goes to $work/server.txt. keep_scratch=1 (also from the
# environment) keeps $work, to look into after a run.

dwl_server_pid=""
dwl_server_port=""
scratch_pids=()
keep_scratch="${keep_scratch:-}"

use_scratch_folder() {
  work=$(mktemp -d)
  trap clean_up_scratch EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

clean_up_scratch() {
  local pid
  for pid in "${scratch_pids[@]}" $dwl_server_pid; do
    # A stopped process (SIGSTOP) acts on SIGTERM only once it runs again.
    kill -CONT "$pid" 2>/dev/null || true
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  [ -n "$keep_scratch" ] || rm -rf "$work"
}

use_scratch_home() {
  export HOME="$work/home"
  # TransferAgent's per-user mark (a lock file) stays in the folder too.
  export XDG_RUNTIME_DIR="$work/run"
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  unset XDG_CONFIG_HOME XDG_DOCUMENTS_DIR
}

stop_on_exit() { scratch_pids+=("$@"); }

wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep "${poll_seconds:-0.02}"
  done
}

start_dwl_server() {
  local dwl="$1" store="$2"
  shift 2
  : > "$work/server.txt"  # read before the server may have opened it
  "$dwl" server --store "$store" "$@" > "$work/server.txt" 2>&1 &
  dwl_server_pid=$!
  if ! wait_until 5 dwl_server_told_port; then
    echo "the server did not tell its port: $(cat "$work/server.txt")" >&2
    return 1
  fi
}

dwl_server_told_port() {
  dwl_server_port=$(sed -n 's/^dwl server: listening on 127\.0\.0\.1:\([0-9]*\), store .*/\1/p' "$work/server.txt")
  [ -n "$dwl_server_port" ]
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
