#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine when needed, builds, and runs every test.
# Usage: scripts/test.sh [preset]   (debug by default; asan and tsan are the sanitizer builds)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-debug}
scripts/setup.sh "$preset"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --preset "$preset" -j 2
