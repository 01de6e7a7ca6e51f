#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine when needed, builds, and runs every test.
# Usage: scripts/test.sh [preset]
#   no preset: every test: the Linux build's, the Windows build's checks under wine, and the
#              Windows test build's end-to-end checks (scripts/wintest.sh)
#   debug, asan, tsan: the Linux tests, plain or under the sanitizers
#   windows: the cross build for Windows with its checks under wine
#   windows32: the shipped 32-bit varnel.exe and tesmor.exe under wine32, also where it runs
#              emulated (minutes a tool; CI runs Varnel's only)
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
  # The cross build: PE checks, then the wine checks on the build that can run them. How
  # wine32 runs here decides (tests/win32_build/wine32_mode.sh; scripts/setup.sh registers the
  # qemu-i386 emulator where the kernel runs no i386 code and it may).
  scripts/setup.sh windows
  ctest --preset windows
  mode=$(tests/win32_build/wine32_mode.sh)
  echo "Windows checks: $(tests/win32_build/wine32_mode.sh --explain)"
  case $mode in
    native)
      # The installer's check under wine (silent install, the installed Varnel, silent
      # uninstall) takes seconds where wine32 runs natively; emulated it takes many minutes
      # and is left to `ctest --test-dir build/windows -L installer`.
      ctest --test-dir build/windows -L installer --output-on-failure
      echo "Windows checks: every wine check ran on the shipped 32-bit build (windows), the installer's too" ;;
    emulated)
      echo "Windows checks: the shipped 32-bit varnel.exe runs under wine32, emulated (windows.wine32.varnel;"
      echo "  tesmor.exe too with scripts/test.sh windows32); every other wine check runs on the 64-bit"
      echo "  twin (windows-x64) under wine64"
      scripts/setup.sh windows-x64
      ctest --preset windows-x64 -E '^windows\.wine32\.tesmor$' ;;
    none)
      echo "Windows checks: the wine checks run on the 64-bit twin (windows-x64) under wine64;"
      echo "  the shipped 32-bit executables are checked as files only"
      scripts/setup.sh windows-x64
      ctest --preset windows-x64 ;;
  esac
  exit 0
fi
if [ "$preset" = windows32 ]; then
  scripts/setup.sh windows
  echo "Windows checks: $(tests/win32_build/wine32_mode.sh --explain)"
  case $(tests/win32_build/wine32_mode.sh) in
    native) ctest --preset windows -L wine ;;
    emulated)
      scripts/setup.sh windows-x64
      ctest --preset windows-x64 -L wine32 ;;
    none)
      echo "the shipped 32-bit executables cannot run here (scripts/wine32-binfmt.sh says why)"
      exit 1 ;;
  esac
  exit 0
fi
scripts/setup.sh "$preset"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --preset "$preset" -j 2
