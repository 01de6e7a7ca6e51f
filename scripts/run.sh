#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine when needed, builds, starts a virtual board and the
# tools on it. Closing the last tool (or Ctrl-C) stops the board.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh release
bin=build/release
"$bin/vboard/vboard" run &
board=$!
trap 'kill "$board" 2>/dev/null; wait "$board" 2>/dev/null || true' EXIT
tools=()
for t in varnel/varnel tesmor/tesmor; do
  [ -x "$bin/$t" ] && tools+=("$bin/$t")
done
if [ ${#tools[@]} -eq 0 ]; then
  echo "Virtual board running (Ctrl-C to stop); steer it with $bin/vboard/vboard --help"
  wait "$board"
else
  pids=()
  for t in "${tools[@]}"; do "$t" & pids+=($!); done
  wait "${pids[@]}"
fi
