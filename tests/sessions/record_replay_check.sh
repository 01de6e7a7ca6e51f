#!/usr/bin/env bash
# A session recorded now and replayed at once: boardctl reads the EEPROM of a virtual board with
# BOARD_TRACE set; against `vboard replay` of that trace the same command gives the same bytes
# and both end with 0; the command with --start 16 makes the replay name the difference, and
# both end non-zero. A session the board records from its side (`vboard run --record`) replays
# the same way.
#   record_replay_check.sh VBOARD BOARDCTL
set -uo pipefail
vboard=$1 boardctl=$2
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
export VBOARD_BUS=$work/bus
mkdir -m 700 "$VBOARD_BUS"
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
wait_for_board() {
  for _ in $(seq 200); do [ -e "$VBOARD_BUS/board-0.state" ] && return; sleep 0.05; done
  fail "no board came up"
}

"$vboard" run --eeprom "$work/eeprom" >/dev/null &
board=$!
wait_for_board
"$vboard" eeprom load "$(for i in $(seq 0 255); do printf '%02x ' $(((i * 7 + 3) % 256)); done)" >/dev/null
BOARD_TRACE=$work/s.trace "$boardctl" eeprom read -o "$work/a.bin" || fail "the recorded read"
kill "$board" && wait "$board"

timeout 60 "$vboard" replay "$work/s.trace" >/dev/null 2>"$work/replay.err" &
replay=$!
wait_for_board
timeout 30 "$boardctl" eeprom read -o "$work/b.bin" || fail "the read against the replay"
wait "$replay" || fail "vboard replay ended with $? after the same read"
cmp -s "$work/a.bin" "$work/b.bin" || fail "the replayed read gave other bytes"

timeout 60 "$vboard" replay "$work/s.trace" >/dev/null 2>"$work/replay.err" &
replay=$!
wait_for_board
timeout 30 "$boardctl" eeprom read --start 16 -o "$work/c.bin" 2>/dev/null && fail "--start 16 against the replay ended with 0"
wait "$replay" && fail "vboard replay ended with 0 after --start 16"
grep -q "expected transfer request (EEPROM to host, 64 bytes at 0x00), got transfer request (EEPROM to host, 64 bytes at 0x10)" \
  "$work/replay.err" || fail "the replay said: $(cat "$work/replay.err")"
echo "-- recorded by the board"
"$vboard" run --eeprom "$work/eeprom" --record "$work/board.trace" >/dev/null &
board=$!
wait_for_board
"$boardctl" eeprom write --data "01 02 03" --start 5 >/dev/null || fail "the write to the recording board"
"$boardctl" display 1a2b >/dev/null || fail "the display on the recording board"
kill "$board" && wait "$board"
timeout 60 "$vboard" replay "$work/board.trace" >/dev/null 2>"$work/replay.err" &
replay=$!
wait_for_board
timeout 30 "$boardctl" eeprom write --data "01 02 03" --start 5 >/dev/null || fail "the write against its replay"
timeout 30 "$boardctl" display 1a2b >/dev/null || fail "the display against its replay"
wait "$replay" || fail "vboard replay of the board's record ended with $?: $(cat "$work/replay.err")"

echo "$failures failed"
exit $((failures > 0))
