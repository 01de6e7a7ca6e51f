#!/usr/bin/env bash
# Says in one word how wine32 (the i386 loader, /usr/lib/wine/wine) runs on this machine:
#   native     it starts, and the kernel runs i386 code itself
#   emulated   it starts through a qemu user-mode emulator registered with binfmt_misc for
#              i386 programs (scripts/wine32-binfmt.sh): minutes a program start
#   none       it does not start (not installed, or a kernel that runs no i386 code)
# With --explain, a sentence for people instead.
set -uo pipefail
loader=${VT_WINE32_LOADER:-/usr/lib/wine/wine}
binfmt=${VT_BINFMT_DIR:-/proc/sys/fs/binfmt_misc}

mode=native
if ! "$loader" --version >/dev/null 2>&1; then
  mode=none
elif [ "$(cat "$binfmt/status" 2>/dev/null)" = enabled ]; then
  # binfmt_misc handlers come before the kernel's own loader: an enabled one for i386
  # programs means wine32 runs through it, whatever the kernel could do.
  for entry in "$binfmt"/*; do
    case "${entry##*/}" in register | status) continue ;; esac
    [ -f "$entry" ] || continue
    if head -n 1 "$entry" | grep -qx enabled && grep -q '^interpreter .*qemu-i386' "$entry"; then
      mode=emulated
      break
    fi
  done
fi

if [ "${1:-}" = --explain ]; then
  case $mode in
    native) echo "wine32 runs natively: the kernel runs i386 code" ;;
    emulated) echo "wine32 runs through qemu user-mode emulation (qemu-i386 registered with binfmt_misc)" ;;
    none) echo "no wine32: $loader does not start on this machine" ;;
  esac
else
  echo "$mode"
fi
