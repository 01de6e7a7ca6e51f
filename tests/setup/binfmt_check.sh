#!/usr/bin/env bash
# scripts/wine32-binfmt.sh against a binfmt_misc directory of its own (a plain directory
# standing in for /proc/sys/fs/binfmt_misc): it registers under the project's own name only,
# leaves a registration by anyone else alone and says so, and --remove takes out ours alone.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
script=$here/../../scripts/wine32-binfmt.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi; }

export VT_BINFMT_DIR=$work/binfmt VT_WINE32_LOADER=$work/wine VT_QEMU_I386=$work/qemu-i386-static
mkdir -p "$VT_BINFMT_DIR"
echo enabled >"$VT_BINFMT_DIR/status"
: >"$VT_BINFMT_DIR/register"
# A loader that does not start (no wine32 on this machine) and an emulator to register.
printf '#!/bin/sh\nexit 1\n' >"$VT_WINE32_LOADER"
printf '#!/bin/sh\nexit 0\n' >"$VT_QEMU_I386"
chmod +x "$VT_WINE32_LOADER" "$VT_QEMU_I386"
theirs() {
  printf 'disabled\ninterpreter %s\nflags: POCF\noffset 0\nmagic 7f454c4601010100000000000000000002000300\nmask fffffffffffefe00fffffffffffffffffeffffff\n' "$VT_QEMU_I386" \
    >"$VT_BINFMT_DIR/qemu-i386"
}

if [ "$(id -u)" -eq 0 ]; then
  # Nobody else's handler: ours is registered, under our name.
  out=$("$script" 2>&1)
  check "registers under varnel-tesmor-i386 ($out)" 'grep -q "^:varnel-tesmor-i386:M::" "$VT_BINFMT_DIR/register"'
  # The distribution's handler is there: nothing is registered, and it is named.
  : >"$VT_BINFMT_DIR/register"
  theirs
  out=$("$script" 2>&1)
  check "leaves another's registration alone ($out)" '[ ! -s "$VT_BINFMT_DIR/register" ]'
  check "says whose it is" 'grep -q "left alone: $VT_BINFMT_DIR/qemu-i386" <<<"$out"'
else
  echo "skipped the registration checks: they need root, as the script does"
  theirs
fi

# --remove: another's entry stays as it was; ours goes.
before=$(cat "$VT_BINFMT_DIR/qemu-i386")
out=$("$script" --remove 2>&1)
check "--remove without ours removes nothing ($out)" '[ "$(cat "$VT_BINFMT_DIR/qemu-i386")" = "$before" ]'
check "--remove names the one left alone" 'grep -q "left alone: $VT_BINFMT_DIR/qemu-i386" <<<"$out"'
check "--remove does not call another's ours" '! grep -q "is removed" <<<"$out"'
printf 'enabled\ninterpreter %s\n' "$VT_QEMU_I386" >"$VT_BINFMT_DIR/varnel-tesmor-i386"
out=$("$script" --remove 2>&1)
check "--remove takes ours out ($out)" '[ "$(cat "$VT_BINFMT_DIR/varnel-tesmor-i386")" = -1 ]'
check "and still leaves theirs" '[ "$(cat "$VT_BINFMT_DIR/qemu-i386")" = "$before" ]'
exit $((failures > 0))
