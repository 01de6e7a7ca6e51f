#!/usr/bin/env bash
# Screenshots of the Windows tools under wine (no board attached): docs/varnel-wine.png and
# docs/tesmor-wine.png. Uses the 32-bit build where wine32 runs natively, else the 64-bit twin
# (emulated wine32 would take minutes a window); builds it first (scripts/setup.sh) when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/win32_build/wine_env.sh

if [ "$(tests/win32_build/wine32_mode.sh)" = native ]; then
  preset=windows build=build/windows loader=/usr/lib/wine/wine prefix=build/windows/wineprefix
else
  preset=windows-x64 build=build/win32-x64 loader=/usr/lib/wine/wine64 prefix=build/wineprefix-win64
fi
echo "screenshots of the $preset build: $(tests/win32_build/wine32_mode.sh --explain)"
[ -x "$build/varnel/varnel.exe" ] && [ -x "$build/tesmor/tesmor.exe" ] || scripts/setup.sh "$preset"

vt_wine_setup "$loader" "$PWD/$prefix"
vt_xvfb_start
trap 'vt_xvfb_stop' EXIT
for tool in varnel tesmor; do
  "$WINELOADER" "$build/$tool/$tool.exe" &
  pid=$!
  window=
  for _ in $(seq 100); do
    window=$(xdotool search --name '^No Board Attached $' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.2
  done
  [ -n "$window" ] || { echo "no window of $tool" >&2; exit 1; }
  sleep 1  # let it finish painting
  xwd -silent -id "$window" | xwdtopnm 2>/dev/null | pnmtopng >"docs/$tool-wine.png"
  echo "docs/$tool-wine.png"
  xdotool windowclose "$window" 2>/dev/null || kill "$pid"
  "$(dirname "$WINELOADER")/wineserver" -k 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
done
