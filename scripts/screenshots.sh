#!/usr/bin/env bash
# Screenshots of the virtual board's front panel and of Tesmor and Varnel in use on it, taken on
# a virtual X server without a window manager: docs/panel.png, docs/tesmor.png, docs/varnel.png.
# Builds the release build first when a program is missing (scripts/setup.sh release).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/release

# xwininfo finds the windows, xdotool places them and types into the tools.
packages=(xvfb xauth x11-utils xdotool)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
for p in vboard/vboard vboard/panel/window_grab tesmor/tesmor varnel/varnel; do
  [ -x "$bin/$p" ] || { scripts/setup.sh release; break; }
done

work=$(mktemp -d)
pids=()
xvfb=
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and tells it.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"
export VBOARD_BUS="$work/bus"
export XDG_RUNTIME_DIR="$work"
vboard="$bin/vboard/vboard"

# The id of a program's window, by its X class ("tesmor", "varnel", "vboard"), once it is shown.
window_of() {
  local id=
  for _ in $(seq 200); do
    id=$(xwininfo -root -tree | awk -v c="(\"$1\" \"$1\")" 'index($0, c) { print $1; exit }')
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "no window of $1" >&2
  return 1
}
# Waits until `vboard COMMAND` prints something containing TEXT.
await() {
  local text=$1; shift
  for _ in $(seq 100); do
    "$vboard" "$@" 2>/dev/null | grep -qF "$text" && return
    sleep 0.1
  done
  echo "the board never showed '$text' for: $*" >&2
  return 1
}
grab() {
  sleep 1  # painting settles
  "$bin/vboard/panel/window_grab" --id "$1" "docs/$2.png"
  echo "docs/$2.png"
}

# The board with its panel, some text in its EEPROM, the clock running from a fixed time.
{ printf 'USB experiment board. Rev B 0042'; head -c 224 /dev/zero | tr '\0' '\377'; } >"$work/image"
"$vboard" run --panel --eeprom "$work/board.eeprom" --clock 10:24:36 >"$work/board.log" 2>&1 &
pids+=($!)
panel=$(window_of vboard)
await plugged list
"$vboard" eeprom load "$work/image" >/dev/null

"$bin/tesmor/tesmor" >"$work/tesmor.log" 2>&1 &
pids+=($!)
"$bin/varnel/varnel" >"$work/varnel.log" 2>&1 &
pids+=($!)
tesmor=$(window_of tesmor)
varnel=$(window_of varnel)
# Without a window manager every window opens where it asks to; put the tools beside the panel.
xdotool windowmove "$tesmor" 920 0 windowmove "$varnel" 920 300
sleep 2  # both tools have found the board

# Tesmor: a value for the display (the field has the focus; Tab, then space clicks Modify), and
# key 3 held on the board.
xdotool windowfocus --sync "$tesmor" type --delay 40 c0ffee
xdotool key --delay 100 Tab space
await 00C0FFEE display
"$vboard" key 3 down >/dev/null

# Varnel: read 16 bytes from 0 (the length field is last in the tab order), then write a text
# at 32; when Read has turned the buttons off, the focus has gone on to the write field.
xdotool windowfocus --sync "$varnel" key --delay 60 shift+Tab ctrl+a type 16
xdotool key --delay 60 Tab Tab ctrl+a type 0
xdotool key --delay 60 Tab space
sleep 1.5
xdotool type --delay 20 "48 65 6c 6c 6f 2c 20 62 6f 61 72 64 21"
xdotool key --delay 60 Tab ctrl+a type 32
xdotool key --delay 60 Tab space
await "20: 48 65 6c 6c 6f 2c 20 62 6f 61 72 64 21" eeprom dump

mkdir -p docs
grab "$tesmor" tesmor
grab "$varnel" varnel
grab "$panel" panel
