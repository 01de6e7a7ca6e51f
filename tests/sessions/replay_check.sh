#!/usr/bin/env bash
# Replays one recorded session of sessions.txt against the current boardctl: `vboard replay`
# plays it on a private bus while boardctl runs the command it was recorded with; both must end
# as the line says. A session that must fail must also name its difference with a trace line.
#   replay_check.sh VBOARD BOARDCTL NAME
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
vboard=$1 boardctl=$2 name=$3
line=$(grep "^$name|" "$here/sessions.txt") || { echo "no session $name in sessions.txt"; exit 1; }
IFS='|' read -r _ want_replay want_command args <<<"$line"
args=${args//@/$here}

work=$(mktemp -d)
replay_pid=
cleanup() {
  [ -n "$replay_pid" ] && kill "$replay_pid" 2>/dev/null && wait "$replay_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export VBOARD_BUS=$work/bus
mkdir -m 700 "$VBOARD_BUS"

# Time enough for a slow machine, and never for ever.
timeout 60 "$vboard" replay "$here/$name.trace" >"$work/replay.out" 2>"$work/replay.err" &
replay_pid=$!
for _ in $(seq 200); do [ -e "$VBOARD_BUS/board-0.state" ] && break; sleep 0.05; done

eval "set -- $args"
timeout 30 "$boardctl" "$@" >"$work/command.out" 2>"$work/command.err"
got_command=$?
# The replay ends a second after the command has closed its last handle (ten when requests it
# recorded never came); a command that never opened one leaves it waiting, so it is given 15 s
# and then stopped.
for _ in $(seq 150); do kill -0 "$replay_pid" 2>/dev/null || break; sleep 0.1; done
kill "$replay_pid" 2>/dev/null
wait "$replay_pid"
got_replay=$?
replay_pid=

failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
[ "$got_command" -eq "$want_command" ] || fail "boardctl $args: exit $got_command, expected $want_command"
[ "$got_replay" -eq "$want_replay" ] || fail "vboard replay: exit $got_replay, expected $want_replay"
if [ "$want_replay" -ne 0 ] && ! grep -q "trace line [0-9]*: expected" "$work/replay.err"; then
  fail "the replay did not name the difference"
fi
echo "--- boardctl"; cat "$work/command.out" "$work/command.err"
echo "--- vboard replay"; cat "$work/replay.out" "$work/replay.err"
exit $((failures > 0))
