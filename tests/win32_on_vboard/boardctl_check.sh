#!/usr/bin/env bash
# Check of boardctl.exe of the Windows test build: the console program runs under wine and
# reaches a virtual board (the host's own `vboard run`, on a private bus) over loopback TCP.
# It lists the board, dumps the whole EEPROM as `vboard eeprom dump` shows it, saves it to a
# file and writes it back with --verify, does the same with a file named in Chinese (its --json
# into a pipe must be valid UTF-8), and keeps its exit codes.
#   boardctl_check.sh LOADER PREFIX VBOARD BOARDCTL.exe
set -uo pipefail
here=$(dirname "$0")
. "$here/../win32_build/wine_env.sh"
loader=$1 prefix=$2 vboard=$3 program=$4

failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

work=$(mktemp -d)
board_pid=
cleanup() {
  [ -n "$board_pid" ] && kill "$board_pid" 2>/dev/null && wait "$board_pid" 2>/dev/null
  [ -n "${WINELOADER:-}" ] && "$(dirname "$WINELOADER")/wineserver" -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

vt_wine_setup "$loader" "$prefix" || exit 1

vt_vboard_start "$vboard" "$work" || exit 1
board() { "$vboard" "$@"; }

# Every byte different: byte i is (i * 7 + 3) mod 256.
for i in $(seq 0 255); do printf '%02x ' $(((i * 7 + 3) % 256)); done >"$work/pattern.hex"
board eeprom load "$work/pattern.hex" >/dev/null || fail "vboard eeprom load"

# Wine sees the host's files on drive Z:; its console text ends lines with CRLF.
winbus=$(vt_winpath "$VBOARD_BUS")
ctl() { VBOARD_BUS=$winbus "$WINELOADER" "$program" "$@"; }
expect_exit() {
  local want=$1 got=$2 what=$3
  [ "$got" -eq "$want" ] || fail "$what: exit $got, expected $want"
}

echo "-- list"
out=$(ctl list | tr -d '\r')
expect_exit 0 $? "list"
[ "$out" = "0  0x21  QL-3306" ] || fail "list printed: $out"

echo "-- the whole EEPROM, as vboard eeprom dump shows it"
ctl eeprom read --format text | tr -d '\r' | sed 's/ $//' >"$work/read.txt"
expect_exit 0 "${PIPESTATUS[0]}" "eeprom read"
board eeprom dump | sed 's/^[0-9a-f]*: //; s/ $//' >"$work/dump.txt"
cmp -s "$work/read.txt" "$work/dump.txt" || fail "eeprom read differs from vboard eeprom dump: $(diff "$work/read.txt" "$work/dump.txt" | head -4)"

echo "-- saved to a file, written back with --verify"
ctl eeprom read -o "$(vt_winpath "$work/saved.bin")" >/dev/null
expect_exit 0 $? "eeprom read -o"
[ "$(wc -c <"$work/saved.bin")" -eq 256 ] || fail "saved.bin holds $(wc -c <"$work/saved.bin") bytes"
board eeprom load "$(for i in $(seq 256); do printf '00 '; done)" >/dev/null
ctl eeprom write "$(vt_winpath "$work/saved.bin")" --verify >/dev/null
expect_exit 0 $? "eeprom write --verify"
board eeprom dump | sed 's/^[0-9a-f]*: //; s/ $//' >"$work/dump.txt"
cmp -s "$work/read.txt" "$work/dump.txt" || fail "the EEPROM after the write back: $(head -2 "$work/dump.txt")"

echo "-- a file named in Chinese, and --json as UTF-8 into a pipe"
mkdir -p "$work/桌面"
name="$work/桌面/板子.bin"
json=$(ctl --json eeprom read -o "$(vt_winpath "$name")" | tr -d '\r')
expect_exit 0 $? "eeprom read -o 桌面/板子.bin"
cmp -s "$name" "$work/saved.bin" || fail "桌面/板子.bin does not hold the EEPROM"
# Valid UTF-8 JSON that names the file as it was given.
python3 -c 'import json, sys; o = json.loads(sys.stdin.buffer.read().decode("utf-8")); sys.exit(not (o["ok"] and o["file"].endswith("桌面\\板子.bin")))' <<<"$json" ||
  fail "the --json of a Chinese file name: $json"
board eeprom load "$(for i in $(seq 256); do printf '00 '; done)" >/dev/null
ctl eeprom write "$(vt_winpath "$name")" >"$work/out.txt"
expect_exit 0 $? "eeprom write 桌面/板子.bin"
grep -q "verified" "$work/out.txt" || fail "eeprom write 桌面/板子.bin said: $(cat "$work/out.txt")"
ls -A "$work/桌面" | grep -qv '^板子.bin$' && fail "left beside the file: $(ls -A "$work/桌面")"

echo "-- exit codes"
ctl --board 1 keys >/dev/null 2>&1
expect_exit 3 $? "no board at interface 1"
ctl display 12G4 >/dev/null 2>"$work/err.txt"
expect_exit 2 $? "display 12G4"
grep -q "boardctl display: .*(not a hexadecimal number)" "$work/err.txt" || fail "display 12G4 said: $(cat "$work/err.txt")"
board fault PIPE02 stall >/dev/null
ctl eeprom read >"$work/out.txt" 2>"$work/err.txt"
expect_exit 1 $? "eeprom read on a stalled pipe"
[ -s "$work/out.txt" ] && fail "a failed dump printed: $(head -1 "$work/out.txt")"
grep -q "no answer within 1000 ms" "$work/err.txt" || fail "stalled read said: $(cat "$work/err.txt")"

if [ "$failures" -gt 0 ]; then
  echo "--- board output"; cat "$work/board.log"
fi
echo "$failures failed"
exit $((failures > 0))
