# Shell functions for scripts that run TransferAgent against `dwl server` on
# loopback (the agent's tests, the demo). Source scripts/dwl-server.sh first,
# call use_scratch_folder and use_scratch_home, then:
#   use_programs BIN                  $dwl and $agent from BIN; $queue and $failed of this HOME
#   start_account_server USER WORD [OPT...]
#                                     dwl server with this one account, which
#                                     dwl config set-account stores; sets $port
#   start_agent NAME [ARG...]         TransferAgent --server 127.0.0.1:$port ARG...
#                                     (output in $work/NAME.txt); sets $agent_pid
#   wait_agent PID SECONDS            sets $agent_code; fails when it runs that long
#   log_mark, log_since_mark          the programs' shared log from the mark on (LF lines)
#   queue_empty                       the queue folder holds no file
#   random_file PATH BYTES
#   queue_script SUBJECT FILE...      a dwl sim script that queues one e-mail with these files
#                                     as the add-in does on Send, without starting TransferAgent
#   tagged_values FILE TAG            the one-line values of TAG in a queue, settings or
#                                     server file

use_programs() {
  dwl="$1/dwl"
  agent="$1/TransferAgent"
  logs="$1/temp/logs"
  queue="$HOME/.config/Dropwell/MailQueue"
  failed="$HOME/.config/Dropwell/Failed"
}

start_account_server() {
  local user="$1" password="$2"
  shift 2
  start_dwl_server "$dwl" "$work/store" --user "$user" --password "$password" "$@" || return 1
  port=$dwl_server_port
  echo "$password" | "$dwl" config set-account "$user" > "$work/config.txt" 2>&1 || {
    echo "dwl config set-account failed: $(cat "$work/config.txt")" >&2
    return 1
  }
}

start_agent() {
  local name="$1"
  shift
  "$agent" --server "127.0.0.1:$port" "$@" > "$work/$name.txt" 2>&1 &
  agent_pid=$!
  stop_on_exit "$agent_pid"
}

wait_agent() {
  local pid="$1" seconds="$2"
  if ! wait_until "$seconds" exited "$pid"; then
    echo "TransferAgent (pid $pid) still runs after $seconds s" >&2
    return 1
  fi
  agent_code=0
  wait "$pid" || agent_code=$?
}

exited() { ! kill -0 "$1" 2>/dev/null; }

# The log is one file a day, shared by every program in the folder: keep each
# file's size at the mark.
log_mark() {
  local file
  log_sizes=""
  for file in "$logs"/*.log; do
    if [ -f "$file" ]; then log_sizes+="$(stat -c %s "$file") $file"$'\n'; fi
  done
}

log_since_mark() {
  local file size
  for file in "$logs"/*.log; do
    [ -f "$file" ] || continue
    size=$(awk -v f="$file" '{ size = $1; $1 = ""; if (substr($0, 2) == f) print size }' <<< "$log_sizes")
    tail -c +"$((${size:-0} + 1))" "$file" | tr -d '\r'
  done
}

queue_empty() { [ -z "$(ls -A "$queue")" ]; }

random_file() { head -c "$2" /dev/urandom > "$1"; }

tagged_values() { tr -d '\r' < "$1" | sed -n "/^<$2>\$/{n;p}"; }

queue_script() {
  local subject="$1"
  shift
  cat << EOF
host agent=record
connect
open m1
activate m1
click
dialog add $*
dialog ok
mail m1 to someone@example.org
mail m1 subject "$subject"
send m1
close m1
EOF
}
