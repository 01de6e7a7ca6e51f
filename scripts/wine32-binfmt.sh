#!/usr/bin/env bash
# Lets wine32 run where the kernel runs no i386 code: registers Debian's qemu-i386-static
# with binfmt_misc as the handler of i386 ELF programs (and of nothing else), under a name
# only this project uses (varnel-tesmor-i386), so the shipped 32-bit executables can run
# under wine, emulated. Does nothing where wine32 already runs (natively or emulated) and
# changes nothing where it cannot register (not root, no binfmt_misc) or where anyone else
# has registered a handler for i386 programs (the distribution's qemu-i386, say): that one is
# theirs, and is reported. The wine checks then run on the 64-bit twin, as the scripts say.
#   scripts/wine32-binfmt.sh           register when needed and possible
#   scripts/wine32-binfmt.sh --remove  take our registration out again, and nothing else
# The registration lasts until the machine restarts.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode_of() { "$here/../tests/win32_build/wine32_mode.sh" "$@"; }
binfmt=${VT_BINFMT_DIR:-/proc/sys/fs/binfmt_misc}
name=varnel-tesmor-i386
entry=$binfmt/$name
qemu=${VT_QEMU_I386:-/usr/bin/qemu-i386-static}
loader=${VT_WINE32_LOADER:-/usr/lib/wine/wine}
# An i386 ELF executable or shared object (e_ident class 32-bit, little-endian; e_type 2 or
# 3; e_machine 3), as Debian's qemu-user-static describes it.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# The same magic as binfmt_misc lists it in an entry: "magic 7f454c46...".
listed_magic=7f454c4601010100000000000000000002000300

say() { echo "wine32: $*"; }

# Registrations by anyone else that handle i386 programs (their entry names).
others_for_i386() {
  local e
  for e in "$binfmt"/*; do
    case "${e##*/}" in register | status | "$name") continue ;; esac
    [ -f "$e" ] || continue
    if grep -q "^magic $listed_magic" "$e" || grep -q '^interpreter .*qemu-i386' "$e"; then echo "${e##*/}"; fi
  done
}

if [ "${1:-}" = --remove ]; then
  if [ -f "$entry" ]; then
    echo -1 >"$entry" && say "our registration ($name) is removed: i386 programs no longer run through $qemu for us"
  else
    say "no registration of ours ($name) to remove"
  fi
  for other in $(others_for_i386); do say "left alone: $binfmt/$other, registered by someone else"; done
  exit 0
fi

mode=$(mode_of)
if [ "$mode" != none ]; then
  say "$(mode_of --explain)"
  exit 0
fi
fallback="the wine checks run on the 64-bit twin"
if [ ! -x "$loader" ]; then
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
others=$(others_for_i386)
if [ -n "$others" ]; then
  # Somebody's registration for i386 programs, switched off or pointing elsewhere: theirs to
  # change, not ours.
  say "left alone: $(echo $others | sed "s|[^ ]*|$binfmt/&|g") handles i386 programs already, but wine32 still does not start; $fallback"
  exit 0
fi
if [ -e "$entry" ]; then
  say "$entry (ours) exists but wine32 still does not start ($(head -n 1 "$entry")); remove it with --remove; $fallback"
  exit 0
fi
# F: the kernel opens the emulator now, so it serves inside containers and chroots too.
if ! printf ':%s:M::%s:%s:%s:F' "$name" "$magic" "$mask" "$qemu" >"$binfmt/register" 2>/dev/null; then
  say "binfmt_misc refused the registration; $fallback"
  exit 0
fi
if [ "$(mode_of)" = emulated ]; then
  say "registered $qemu for i386 programs; $(mode_of --explain). Undo: scripts/wine32-binfmt.sh --remove"
else
  [ -f "$entry" ] && echo -1 >"$entry"
  say "wine32 does not start even through $qemu; registration taken out again; $fallback"
fi
