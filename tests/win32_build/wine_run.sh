#!/usr/bin/env bash
# Runs one Windows program under wine on its own virtual X server; its exit code is ours.
#   wine_run.sh LOADER PREFIX PROGRAM.exe [ARGS...]
# Host paths in ARGS written as @path are passed as Windows paths.
set -uo pipefail
. "$(dirname "$0")/wine_env.sh"
loader=$1 prefix=$2
shift 2
vt_wine_setup "$loader" "$prefix" || exit 1
vt_xvfb_start || exit 1
vt_winpath_args "$@"
"$WINELOADER" "${VT_ARGS[@]}"
status=$?
"$(dirname "$WINELOADER")/wineserver" -k 2>/dev/null
vt_xvfb_stop
exit "$status"
