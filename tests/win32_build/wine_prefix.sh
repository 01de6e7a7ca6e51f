#!/usr/bin/env bash
# Makes the wine prefix that a build's wine checks share, once, before they start, and says
# how long it took: where wine32 runs emulated, wine64 sets up the prefix's 32-bit half
# through it, which takes minutes.
#   wine_prefix.sh LOADER PREFIX
set -uo pipefail
here=$(dirname "$0")
. "$here/wine_env.sh"
if [ -f "$2/.vt-ready" ]; then
  echo "wine prefix $2 is ready"
  exit 0
fi
start=$(date +%s)
vt_wine_setup "$1" "$2" || exit 1
echo "wine prefix $2 made in $(($(date +%s) - start)) s; $("$here/wine32_mode.sh" --explain)"
