#!/usr/bin/env bash
# One wine check: starts a program on its own virtual X server, lets dialog_probe look at
# it and drive it, and expects the program to end by itself when the probe closed it.
#   wine_check.sh LOADER PREFIX PROGRAM.exe PROBE.exe PROBE-ARGS...
# Host paths in PROBE-ARGS written as @path are passed as Windows paths.
# VT_PROGRAM_LOADER runs the program under another loader than the probe (wine32 in a 64-bit
# prefix); VT_WINE_PATIENCE multiplies the wait for its end (a program under emulation).
set -uo pipefail
here=$(dirname "$0")
. "$here/wine_env.sh"
loader=$1 prefix=$2 program=$3 probe=$4
shift 4

vt_wine_setup "$loader" "$prefix" || exit 1
vt_xvfb_start || exit 1
vt_winpath_args "$@"

program_loader=${VT_PROGRAM_LOADER:-$WINELOADER}
patience=${VT_WINE_PATIENCE:-1}
echo "running $(basename "$program") ($(objdump -f "$program" 2>/dev/null | sed -n 's/.*file format //p')) under $program_loader"
[ "$program_loader" = /usr/lib/wine/wine ] && echo "$("$here/wine32_mode.sh" --explain)"
"$program_loader" "$program" &
program_pid=$!
"$WINELOADER" "$probe" "${VT_ARGS[@]}"
status=$?

# A closed program ends at once; anything still running after 20 s (times the patience) is
# a fault.
for _ in $(seq $((200 * patience))); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
closed=false
case " $* " in *" --close "*) closed=true ;; esac
if kill -0 "$program_pid" 2>/dev/null; then
  $closed && { echo "FAIL $(basename "$program") still runs after it was closed"; status=1; }
  kill "$program_pid" 2>/dev/null
  wait "$program_pid" 2>/dev/null
else
  wait "$program_pid"
  code=$?
  if $closed; then
    [ "$code" -eq 0 ] && echo "ok   $(basename "$program") ended with exit code 0" ||
      { echo "FAIL $(basename "$program") ended with exit code $code"; status=1; }
  fi
fi
"$(dirname "$WINELOADER")/wineserver" -k 2>/dev/null
vt_xvfb_stop
exit "$status"
