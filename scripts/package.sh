#!/usr/bin/env bash
# Builds what a user installs: the Debian packages of the Linux build, checked with lintian,
# and the Windows installer of the 32-bit build (installs what is missing first).
# Usage: scripts/package.sh [deb|windows]   (default: both)
#   deb:     build/package/packages/{varnel,tesmor,vboard}_<version>_<arch>.deb
#   windows: build/windows/varnel-tesmor-<version>-setup.exe
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
case "$what" in
  all | deb | windows) ;;
  *)
    echo "usage: scripts/package.sh [deb|windows]" >&2
    exit 2
    ;;
esac

if [ "$what" != windows ]; then
  scripts/setup.sh package
  rm -rf build/package/packages
  (cd build/package && cpack -G DEB -B packages >/dev/null)
  rm -rf build/package/packages/_CPack_Packages
  debs=(build/package/packages/*.deb)
  echo "lintian ${debs[*]}"
  lintian --fail-on error --display-level '>=warning' "${debs[@]}"
  printf 'Debian packages:\n'
  printf '  %s\n' "${debs[@]}"
fi
if [ "$what" != deb ]; then
  scripts/setup.sh windows
  printf 'Windows installer:\n  %s\n' build/windows/varnel-tesmor-*-setup.exe
fi
