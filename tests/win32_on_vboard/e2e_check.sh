#!/usr/bin/env bash
# End-to-end check of a tool of the Windows test build: the program runs under wine on its
# own virtual X server and reaches a virtual board (the host's own `vboard run`, on a private
# bus) over loopback TCP; board_driver works the dialog while this script steers the board.
# The scenarios varnel-session and varnel-replay are Varnel's write-then-read session: recorded
# by the program under wine (BOARD_TRACE) and checked, and played by `vboard replay` from the
# session Varnel recorded on Linux (SESSION), which must go as recorded.
#   e2e_check.sh LOADER PREFIX VBOARD PROGRAM.exe DRIVER.exe varnel|tesmor|varnel-session [KEEP]
#   e2e_check.sh LOADER PREFIX VBOARD PROGRAM.exe DRIVER.exe varnel-replay SESSION
# KEEP: where to copy the recorded session (tests/sessions/varnel-wine.trace is made so).
set -uo pipefail
here=$(dirname "$0")
. "$here/../win32_build/wine_env.sh"
loader=$1 prefix=$2 vboard=$3 program=$4 driver=$5 scenario=$6 session=${7:-}

readonly board_title="   QL-3306"  # names the virtual board's default type, 0x21
readonly no_board="No Board Attached "
title=$board_title  # the dialog's title when a step starts
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

work=$(mktemp -d)
board_pid= program_pid=
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$board_pid" ] && kill "$board_pid" 2>/dev/null && wait "$board_pid" 2>/dev/null
  [ -n "${replay_pid:-}" ] && kill "$replay_pid" 2>/dev/null && wait "$replay_pid" 2>/dev/null
  [ -n "${WINELOADER:-}" ] && "$(dirname "$WINELOADER")/wineserver" -k 2>/dev/null
  vt_xvfb_stop
  rm -rf "$work"
}
trap cleanup EXIT

vt_wine_setup "$loader" "$prefix" || exit 1
vt_xvfb_start || exit 1

# The board, on a bus of this check alone; its clock stands so that only the steps below
# change what the tool shows.
replay_pid=
if [ "$scenario" = varnel-replay ]; then
  export VBOARD_BUS=$work/bus
  mkdir -m 700 "$VBOARD_BUS"
  "$vboard" replay "$session" >"$work/board.log" 2>&1 &
  replay_pid=$!
  for _ in $(seq 100); do [ -f "$VBOARD_BUS/board-0.tcp" ] && break; sleep 0.1; done
else
  vt_vboard_start "$vboard" "$work" || exit 1
fi
board() { "$vboard" "$@"; }
[ -n "$replay_pid" ] || board clock stop >/dev/null

# Wine sees the host's files on drive Z:.
winbus=$(vt_winpath "$VBOARD_BUS")
trace=
[ "$scenario" = varnel-session ] && trace=$(vt_winpath "$work/session.trace")
VBOARD_BUS=$winbus BOARD_TRACE=$trace "$WINELOADER" "$program" >"$work/program.log" 2>&1 &
program_pid=$!

drive() {
  VBOARD_BUS=$winbus "$WINELOADER" "$driver" --title "$title" "$@" || fail "board_driver $*"
}

# Waits until `vboard CMD...` prints a line matching the pattern.
board_shows() {
  local pattern=$1
  shift
  for _ in $(seq 300); do
    board "$@" | grep -q -- "$pattern" && return 0
    sleep 0.1
  done
  fail "vboard $* never showed $pattern; it shows: $(board "$@" | head -3)"
}

# Unplugs the board and plugs it in again, telling the tool each time as Windows would:
# detection must follow. $1: the controls that are on only while a board is there.
replug() {
  local ids=$1
  board unplug >/dev/null
  drive --device-change --wait-title "$no_board" --wait-disabled "$ids"
  title=$no_board
  board plug >/dev/null
  drive --device-change --wait-title "$board_title" --wait-enabled "$ids"
  title=$board_title
}

# Varnel's session: write 4 bytes at 16, read them back, close.
write_then_read() {
  drive --wait-enabled 1002,1005,1007,1008 --set 1004=16 --set "1003=de ad be ef" --click 1005
  drive --wait-enabled 1002,1005 --set 1001=16 --set 1006=4 --click 1002 --wait-text "1000=de ad be ef " \
    --wait-enabled 1002,1005
  drive --close-within 15000
}

cancelled=
case "$scenario" in
  varnel-session)
    echo "-- a session recorded by Varnel: write 4 bytes at 16, read them back"
    write_then_read
    ;;
  varnel-replay)
    echo "-- Varnel against the session it recorded on Linux"
    write_then_read
    ;;
  varnel)
    echo "-- write 4 bytes at 16, then read them back"
    drive --wait-enabled 1002,1005,1007,1008 --set 1004=16 --set "1003=de ad be ef" --click 1005
    board_shows "^10: de ad be ef ff" eeprom dump
    # The buttons come back once the write's worker has ended.
    drive --wait-enabled 1002,1005 --set 1001=16 --set 1006=4 --click 1002 --wait-text "1000=de ad be ef " \
      --wait-enabled 1002,1005

    echo "-- a device change after an unplug, and after the board is back"
    replug 1002,1005,1007,1008

    echo "-- the input check: a read past the end of the EEPROM"
    drive --set 1001=250 --set 1006=16 --click 1002 --message-box "错误=所要读取的数据超过E2PROM地址区间，溢出。" \
      --wait-enabled 1002

    echo "-- closing while a read waits on a stalled pipe"
    board fault PIPE02 stall >/dev/null
    drive --set 1001=0 --set 1006=8 --click 1002 --wait-disabled 1002
    board_shows "PIPE02 read id=[0-9]* asked=8 .*pending" log 5
    drive --close-within 15000
    cancelled="PIPE02 read id=[0-9]* asked=8 moved=0 error=995 completed"
    ;;
  tesmor)
    echo "-- the clock and the key lamps follow the board"
    board clock 08:09:10 >/dev/null
    drive --wait-enabled 1001 --wait-text "1010=08 : 09 : 10" --images 1002-1009=none
    board key 4 down >/dev/null
    drive --images 1002-1009=1005
    board key 4 up >/dev/null
    board clock 23:59:58 >/dev/null
    drive --images 1002-1009=none --wait-text "1010=23 : 59 : 58"

    echo "-- a device change after an unplug, and after the board is back"
    replug 1001

    echo "-- Modify sends the value to the display"
    drive --set "1000=1a2B" --click 1001
    board_shows "^00001A2B$" display
    drive --set "1000=12g" --click 1001 --message-box "错误=所写数值格式不对，有可能不是16进制数。"

    echo "-- a value the board does not take in time is reported"
    board fault PIPE01 stall >/dev/null
    drive --set "1000=55" --click 1001 --message-box "Test Error=Data transfer on PIPE01 failed! Aborted."
    board faults clear >/dev/null

    echo "-- closing while the status read waits for the board"
    board key 6 down >/dev/null
    drive --images 1002-1009=1007
    board_shows "PIPE00 read id=[0-9]* asked=4 moved=0 error=0 pending" log 1
    drive --close-within 15000
    cancelled="PIPE00 read id=[0-9]* asked=4 moved=0 error=995 completed"
    ;;
  *)
    echo "unknown scenario $scenario" >&2
    exit 2
    ;;
esac

# A closed program ends by itself, its transfers cancelled; one still running is a fault.
for _ in $(seq 200); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$program_pid" 2>/dev/null; then
  fail "$(basename "$program") still runs 20 s after its window was closed"
else
  wait "$program_pid" 2>/dev/null
  program_pid=
fi
if [ -n "$cancelled" ]; then
  board log 10 | grep -q -- "$cancelled" || fail "the pending request did not end cancelled: $(board log 10)"
fi
if [ "$scenario" = varnel-session ]; then
  head -1 "$work/session.trace" | grep -qx "board-trace 1" || fail "no session trace: $(head -2 "$work/session.trace")"
  grep -q "WriteFile handle=h[0-9]*:PIPE03 in=deadbeef result=" "$work/session.trace" ||
    fail "the trace holds no write of de ad be ef on PIPE03"
  grep -Eq "code=0x80002010 in=100000000600000000000000[0-9a-f]{8} window=000000040000 " "$work/session.trace" ||
    fail "the trace holds no 16-byte record of the write's transfer request"
  [ -n "$session" ] && cp "$work/session.trace" "$session"
fi
if [ -n "$replay_pid" ]; then
  wait "$replay_pid" || fail "vboard replay ended with $?"
  replay_pid=
fi

if [ "$failures" -gt 0 ]; then
  echo "--- program output"; cat "$work/program.log"
  echo "--- board output"; cat "$work/board.log"
fi
echo "$failures failed"
exit $(( failures > 0 ))
