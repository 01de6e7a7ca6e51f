#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine when needed, builds, starts a virtual board with its front
# panel, then Varnel and Tesmor on it. Closing the panel unplugs the board and ends it; the tools
# stay until they are closed. Ctrl-C ends everything.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh release
bin=build/release
vboard="$bin/vboard/vboard"

pids=()
stop() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap stop INT TERM

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: the virtual board runs without its panel (Ctrl-C to stop);" \
       "steer it with $vboard --help"
  "$vboard" run & pids+=($!)
  wait
  exit 0
fi

"$vboard" run --panel & pids+=($!)
# The tools look for the board as they start: let it reach the bus first.
for _ in $(seq 100); do
  "$vboard" list 2>/dev/null | grep -q '^slot' && break
  sleep 0.1
done
for t in varnel/varnel tesmor/tesmor; do
  if [ -x "$bin/$t" ]; then "$bin/$t" & pids+=($!); fi
done
wait
