#!/usr/bin/env bash
# The Windows test build and its end-to-end checks under wine: the tools built for Windows,
# their board calls served by the Windows-API stand-in, reach a virtual board of this machine
# over loopback TCP (tests/win32_on_vboard). Installs what is missing and builds (scripts/setup.sh).
# The 32-bit build is the one that ships; where wine32 does not run natively the checks run on
# its 64-bit twin: without i386 support there is no wine32, and under qemu's user-mode
# emulation wine32 crashes when a socket is used after a thread has ended (any program, not
# only ours), which the board connections do.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh windows-test
mode=$(tests/win32_build/wine32_mode.sh)
echo "Windows test build: $(tests/win32_build/wine32_mode.sh --explain)"
if [ "$mode" = native ]; then
  echo "Windows test build: the end-to-end checks run on the 32-bit build (windows-test)"
  ctest --preset windows-test
else
  echo "Windows test build: the end-to-end checks run on the 64-bit twin (windows-test-x64) under wine64"
  scripts/setup.sh windows-test-x64
  ctest --preset windows-test-x64
fi
