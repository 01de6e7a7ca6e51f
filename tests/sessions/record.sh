#!/usr/bin/env bash
# Records the sessions of sessions.txt against a fresh virtual board (the altered one is made
# from eeprom-dump by hand and not recorded). Run it when the programs' conversation with the
# board changes on purpose, and look at the differences before keeping them.
#   record.sh VBOARD BOARDCTL
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
vboard=$1 boardctl=$2
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait; rm -rf "$work"' EXIT
export VBOARD_BUS=$work/bus
mkdir -m 700 "$VBOARD_BUS"

start_board() {
  "$vboard" run --eeprom "$work/eeprom" --clock 08:09:10 >/dev/null &
  for _ in $(seq 100); do "$vboard" list 2>/dev/null | grep -q plugged && return; sleep 0.05; done
  echo "the board did not start" >&2
  exit 1
}
stop_board() {
  kill %1 && wait %1 || true
  rm -f "$work/eeprom"
}
record() {  # NAME ARGS...
  local name=$1
  shift
  local args=()
  for a in "$@"; do args+=("${a//@/$here}"); done
  BOARD_TRACE=$here/$name.trace "$boardctl" "${args[@]}" >/dev/null 2>&1 || true
  sed -i "s|$here|@|g; s|$work|-|g" "$here/$name.trace"
}
pattern() { for i in $(seq 0 255); do printf '%02x ' $(((i * 7 + 3) % 256)); done; }

start_board
"$vboard" eeprom load "$(pattern)" >/dev/null
record eeprom-dump eeprom read --format text
"$vboard" eeprom load "$(for i in $(seq 256); do printf 'ff '; done)" >/dev/null
record eeprom-load eeprom write @/image.txt --format text
"$vboard" eeprom set 0x21 00 >/dev/null
record eeprom-verify eeprom verify @/image.txt --format text
"$vboard" fault PIPE03 short 2 >/dev/null
record eeprom-write-fails eeprom write --data "de ad be ef" --start 0x70
"$vboard" faults clear >/dev/null
"$vboard" fault PIPE02 delay 400 >/dev/null
( sleep 0.6; "$vboard" unplug >/dev/null ) &
record unplug-during-dump eeprom read --format text
wait %2 || true
"$vboard" plug >/dev/null
"$vboard" faults clear >/dev/null
"$vboard" key 4 down >/dev/null
record keys-and-clock keys
"$vboard" key 4 up >/dev/null
record display display 1a2b3c4d
stop_board
