#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the virtual board need (only those
# missing), then configures and builds one CMake preset (default: debug).
# Usage: scripts/setup.sh [preset]   (debug, release, package, asan, tsan, fuzz, windows, windows-x64)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-debug}

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev         # GoogleTest: unit and integration tests
  nlohmann-json3-dev libcli11-dev   # header-only: boardctl's JSON, boardctl's and vboard's command lines
  libbenchmark-dev                  # Google Benchmark: speed checks
  qt6-base-dev libgl-dev            # Qt 6 Widgets: the dialog framework backend on Linux
  fonts-arphic-uming                # a Song/Ming CJK face standing in for the dialogs' Song font
  xvfb xauth                        # a virtual X server for screenshots and GUI checks
  zlib1g-dev                        # PNG compression for the desktop icons written at build time
  desktop-file-utils man-db         # the install test: desktop-file-validate, man --warnings
  file                              # CPack's Debian packages find the programs' libraries with it
)

# The Windows build (presets windows and windows-x64) and its checks under wine only.
windows_packages=(
  g++-mingw-w64-i686-posix          # cross compiler for the shipped 32-bit executables
  g++-mingw-w64-x86-64-posix        # and for their 64-bit twin, for wine on hosts without i386
  wine wine32:i386 wine64           # wine 8: the wine checks (wine32 needs the i386 architecture)
  xvfb xauth xdotool                # virtual X server for them; finding windows from outside
  x11-apps netpbm                   # xwd and pnmtopng: screenshots under wine
  qemu-user-static                  # qemu-i386-static: wine32 where the kernel runs no i386 code
  icoutils                          # wrestool: the resource checks list the executables' resources
  nsis                              # makensis: the Windows installer (and an older one in its check)
  procps                            # ps and pgrep: the installer check waits for the uninstaller's copy
)
case "$preset" in
  package) packages+=(lintian) ;;   # checks the Debian packages (scripts/package.sh)
  fuzz)
    # clang with libFuzzer: clang-14 compiles with -fsanitize=fuzzer, whose runtime (and the
    # sanitizers' for clang) comes in libclang-rt-14-dev, which clang only recommends.
    packages+=(clang-14 libclang-rt-14-dev)
    ;;
  windows*)
    packages+=("${windows_packages[@]}")
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      sudo=""
      [ "$(id -u)" -eq 0 ] || sudo="sudo"
      $sudo dpkg --add-architecture i386
    fi
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# wine32 where the kernel cannot run it: qemu-i386 registered with binfmt_misc when needed
# and allowed; says which wine32 the checks get.
case "$preset" in windows*) scripts/wine32-binfmt.sh ;; esac

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
