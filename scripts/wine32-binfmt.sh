#!/usr/bin/env bash
# Lets wine32 run where the kernel runs no i386 code: registers Debian's qemu-i386-static
# with binfmt_misc as the handler of i386 ELF programs (and of nothing else), so the shipped
# 32-bit executables can run under wine, emulated. Does nothing where wine32 already runs
# (natively or emulated) and changes nothing where it cannot register (not root, no
# binfmt_misc): the wine checks then run on the 64-bit twin, as the scripts say.
#   scripts/wine32-binfmt.sh           register when needed and possible
#   scripts/wine32-binfmt.sh --remove  take the registration out again
# The registration lasts until the machine restarts.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode_of() { "$here/../tests/win32_build/wine32_mode.sh" "$@"; }
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/qemu-i386
qemu=/usr/bin/qemu-i386-static
# An i386 ELF executable or shared object (e_ident class 32-bit, little-endian; e_type 2 or
# 3; e_machine 3), as Debian's qemu-user-static describes it.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

say() { echo "wine32: $*"; }

if [ "${1:-}" = --remove ]; then
  if [ -f "$entry" ] && grep -q "^interpreter $qemu" "$entry"; then
    echo -1 >"$entry" && say "qemu-i386 no longer handles i386 programs"
  else
    say "no qemu-i386 registration of ours to remove"
  fi
  exit 0
fi

mode=$(mode_of)
if [ "$mode" != none ]; then
  say "$(mode_of --explain)"
  exit 0
fi
fallback="the wine checks run on the 64-bit twin"
if [ ! -x /usr/lib/wine/wine ]; then
  say "wine32 is not installed; $fallback"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  say "the kernel does not run i386 code and only root can register qemu-i386 with binfmt_misc; $fallback"
  exit 0
fi
if [ ! -x "$qemu" ]; then
  say "$qemu is missing (package qemu-user-static); $fallback"
  exit 0
fi
if [ ! -e "$binfmt/register" ] && ! mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null; then
  say "binfmt_misc cannot be mounted here; $fallback"
  exit 0
fi
if [ -e "$entry" ]; then
  # Somebody's registration, switched off or pointing elsewhere: theirs to change, not ours.
  say "$entry exists but wine32 still does not start ($(head -n 1 "$entry")); $fallback"
  exit 0
fi
# F: the kernel opens the emulator now, so it serves inside containers and chroots too.
if ! printf ':qemu-i386:M::%s:%s:%s:F' "$magic" "$mask" "$qemu" >"$binfmt/register" 2>/dev/null; then
  say "binfmt_misc refused the registration; $fallback"
  exit 0
fi
if [ "$(mode_of)" = emulated ]; then
  say "registered $qemu for i386 programs; $(mode_of --explain). Undo: scripts/wine32-binfmt.sh --remove"
else
  echo -1 >"$entry"
  say "wine32 does not start even through $qemu; registration taken out again; $fallback"
fi
