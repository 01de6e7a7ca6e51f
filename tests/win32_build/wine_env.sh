# Shell functions for running Windows programs under wine on a virtual X server; sourced
# by the wine checks and the screenshot script.
#
#   vt_wine_setup LOADER PREFIX   LOADER: /usr/lib/wine/wine (i386) or /usr/lib/wine/wine64
#   vt_xvfb_start                 starts Xvfb on a free display, exports DISPLAY
#   vt_xvfb_stop
#   vt_winpath PATH               the Windows name (Z:\...) of a host path

# A prefix of its own, made once: a fresh one takes 10 to 15 s. Chinese text needs the
# dialogs' Song face replaced by an installed CJK face; without a window manager every
# window close waits 2 s unless wine draws the frames itself ("Managed"="N").
vt_wine_setup() {
  export WINELOADER=$1 WINEPREFIX=$2 WINEDEBUG=${WINEDEBUG:--all} LANG=C.UTF-8
  case "$WINELOADER" in
    *64) export WINEARCH=win64 ;;
    *) export WINEARCH=win32 ;;
  esac
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [ -f "$WINEPREFIX/.vt-ready" ] && exit 0
    rm -rf "$WINEPREFIX"
    # No Mono or Gecko: nothing here needs them, and their installers would ask.
    DISPLAY= WINEDLLOVERRIDES="mscoree,mshtml=" "$WINELOADER" wineboot -i >/dev/null 2>&1
    local reg="$WINEPREFIX/vt-settings.reg"
    {
      printf '\xff\xfe'
      iconv -f UTF-8 -t UTF-16LE <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"宋体"="AR PL UMing CN"
"SimSun"="AR PL UMing CN"
"新宋体"="AR PL UMing CN"
"NSimSun"="AR PL UMing CN"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
    } >"$reg"
    DISPLAY= "$WINELOADER" regedit /S "$(vt_winpath "$reg")" >/dev/null 2>&1
    "$(dirname "$WINELOADER")/wineserver" -w
    touch "$WINEPREFIX/.vt-ready"
  ) 9>"$WINEPREFIX.lock"
}

vt_xvfb_start() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  VT_XVFB_PID=$!
  local n
  read -r -t 30 n <"$fifo" || true
  rm -f "$fifo"
  [ -n "$n" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$n"
}

vt_xvfb_stop() {
  [ -n "${VT_XVFB_PID:-}" ] && kill "$VT_XVFB_PID" 2>/dev/null && wait "$VT_XVFB_PID" 2>/dev/null
  VT_XVFB_PID=
}

vt_winpath() {
  local p
  p=$(realpath -m "$1")
  printf 'Z:%s' "${p//\//\\}"
}

# Sets VT_ARGS to the arguments given, each "@path" turned into that path as Windows sees it.
vt_winpath_args() {
  VT_ARGS=()
  local a
  for a in "$@"; do
    case "$a" in @*) VT_ARGS+=("$(vt_winpath "${a#@}")") ;; *) VT_ARGS+=("$a") ;; esac
  done
}

# Starts a virtual board (program $1) on a bus of its own below directory $2, its EEPROM in
# $2/eeprom.bin and its clock at 12:34:56, and waits until it serves loopback TCP. Exports
# VBOARD_BUS and sets board_pid (for the caller's clean-up); fails with the board's log.
vt_vboard_start() {
  export VBOARD_BUS=$2/bus
  "$1" run --eeprom "$2/eeprom.bin" --clock 12:34:56 >"$2/board.log" 2>&1 &
  board_pid=$!
  local _
  for _ in $(seq 100); do
    [ -f "$VBOARD_BUS/board-0.tcp" ] && return 0
    sleep 0.1
  done
  echo "FAIL the virtual board did not start"
  cat "$2/board.log"
  return 1
}
