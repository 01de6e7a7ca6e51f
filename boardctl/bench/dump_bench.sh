#!/usr/bin/env bash
# A whole-EEPROM dump as a process: `boardctl eeprom read` (256 bytes in four 64-byte jobs
# through the board link, each job opening device and pipe) beside `vboard eeprom dump` (one
# control command to the board), both against a virtual board of this script's own. Prints the
# time per run of each, in rounds that alternate, and the ratio of the best rounds. A speed
# figure, not a test: it is not part of the test command.
#   boardctl/bench/dump_bench.sh [BUILD_DIR] [RUNS]
# BUILD_DIR: default build/release, else build/debug; RUNS per round: default 50.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
  for b in release debug; do
    if [ -x "$root/build/$b/boardctl/boardctl" ] && [ -x "$root/build/$b/vboard/vboard" ]; then
      build=$root/build/$b
      break
    fi
  done
fi
[ -n "$build" ] || { echo "build boardctl and vboard first (cmake --build --preset release --target boardctl vboard)" >&2; exit 2; }
runs=${2:-50}
rounds=3
boardctl=$build/boardctl/boardctl
vboard=$build/vboard/vboard

work=$(mktemp -d)
export VBOARD_BUS=$work/bus
"$vboard" run --eeprom "$work/eeprom.bin" >"$work/board.log" 2>&1 &
board_pid=$!
trap 'kill $board_pid 2>/dev/null; wait $board_pid 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [ -S "$VBOARD_BUS/board-0.sock" ] && break
  sleep 0.1
done

# Microseconds per run of the command, over $runs runs.
per_run() {
  local start end
  start=$(date +%s%N)
  for _ in $(seq "$runs"); do "$@" >/dev/null; done
  end=$(date +%s%N)
  echo $(((end - start) / runs / 1000))
}

"$boardctl" eeprom read >/dev/null  # fails here, not in the middle of the figures
best_floor= best_ours=
echo "build: $build, $runs runs a round"
for round in $(seq "$rounds"); do
  floor=$(per_run "$vboard" eeprom dump)
  ours=$(per_run "$boardctl" eeprom read)
  printf 'round %d: vboard eeprom dump %6d us/run   boardctl eeprom read %6d us/run\n' "$round" "$floor" "$ours"
  [ -z "$best_floor" ] || [ "$floor" -lt "$best_floor" ] && best_floor=$floor
  [ -z "$best_ours" ] || [ "$ours" -lt "$best_ours" ] && best_ours=$ours
done
awk -v f="$best_floor" -v o="$best_ours" \
  'BEGIN { printf "best: vboard eeprom dump %d us, boardctl eeprom read %d us, ratio %.2f\n", f, o, o / f }'
