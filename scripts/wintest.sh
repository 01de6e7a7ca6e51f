#!/usr/bin/env bash
# The Windows test build and its end-to-end checks under wine: the tools built for Windows,
# their board calls served by the Windows-API stand-in, reach a virtual board of this machine
# over loopback TCP (tests/wintest). Installs what is missing and builds (scripts/setup.sh).
# The 32-bit build is the one that ships; where wine32 cannot run (a kernel without i386
# support), the checks run on its 64-bit twin.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh windows-test
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  ctest --preset windows-test
else
  echo "wine32 cannot run on this machine: the end-to-end checks run on the 64-bit twin (windows-test-x64)"
  scripts/setup.sh windows-test-x64
  ctest --preset windows-test-x64
fi
