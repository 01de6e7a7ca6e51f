#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine when needed, builds, and runs every test.
# Usage: scripts/test.sh [preset]
#   no preset: every test: the Linux build's, the Windows build's checks under wine, and the
#              Windows test build's end-to-end checks (scripts/wintest.sh)
#   debug, asan, tsan: the Linux tests, plain or under the sanitizers
#   windows: the cross build for Windows with its checks under wine
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -eq 0 ]; then
  scripts/test.sh debug
  scripts/test.sh windows
  scripts/wintest.sh
  exit 0
fi
preset=$1
if [ "$preset" = windows ]; then
  # The cross build: PE checks, and the wine checks where wine32 runs. A kernel without
  # i386 support cannot run wine32; the 64-bit twin of the build runs them under wine64.
  scripts/setup.sh windows
  ctest --preset windows
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "wine32 cannot run on this machine: the wine checks run on the 64-bit twin (windows-x64)"
    scripts/setup.sh windows-x64
    ctest --preset windows-x64
  fi
  exit 0
fi
scripts/setup.sh "$preset"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --preset "$preset" -j 2
