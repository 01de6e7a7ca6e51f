#!/usr/bin/env bash
# Makes the Debian packages of a build tree with CPack, installs them into a throw-away root
# with dpkg and checks what they install: every file each package declares is there and
# matches its checksum, each binary's libraries come from packages its Depends names, the
# desktop entries pass desktop-file-validate and name an installed program and icons of
# every size, the manual pages format without warnings, the installed vboard runs --help,
# and purging the packages leaves no file behind.
# Usage: install_check.sh BUILD_DIR VERSION PACKAGE...
set -euo pipefail
build=$1
version=$2
shift 2
packages=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

arch=$(dpkg --print-architecture)
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi

# The control fields, and the dependencies against the libraries the binaries need.
debs=()
for p in "${packages[@]}"; do
  deb=$work/out/${p}_${version}_${arch}.deb
  if [ ! -f "$deb" ]; then
    fail "no package $p (looked for $(basename "$deb"))"
    continue
  fi
  debs+=("$deb")
  [ "$(dpkg-deb -f "$deb" Package)" = "$p" ] || fail "$p: Package field"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$p: Version is not $version"
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "$p: Architecture is not $arch"
  dpkg-deb -f "$deb" Maintainer | grep -q '<.*@.*>' || fail "$p: no Maintainer address"
  [ "$(dpkg-deb -f "$deb" Description | wc -l)" -ge 3 ] || fail "$p: no extended Description"
  depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/[ (].*//')
  mkdir -p "$work/x/$p"
  dpkg-deb -x "$deb" "$work/x/$p"
  for bin in "$work/x/$p"/usr/bin/*; do
    # Where each library the binary needs is loaded from: "libX.so.N => /path (address)", or
    # "/path/ld-linux...so.N (address)" for the loader.
    declare -A from=()
    while read -r lib path; do
      from[$lib]="$path $(realpath "$path")"
    done < <(ldd "$bin" | awk '$2 == "=>" && $3 ~ /^\// { print $1, $3 }
                             $1 ~ /^\// { n = split($1, p, "/"); print p[n], $1 }')
    # One dpkg -S for all of them (it reads the whole database), under either name.
    owners=$(dpkg -S ${from[@]} 2>/dev/null || true)
    for lib in $(readelf -d "$bin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
      owner=
      for path in ${from[$lib]:-}; do
        owner=${owner:-$(grep -m1 ": $path\$" <<<"$owners" | sed 's/[:,].*//' || true)}
      done
      if [ -z "$owner" ]; then
        fail "$p: $(basename "$bin") needs $lib, which no package owns"
      elif ! grep -qx "$owner" <<<"$depends"; then
        fail "$p: $(basename "$bin") needs $lib from $owner, which Depends does not name"
      fi
    done
    unset from
  done
done
[ ${#debs[@]} -eq ${#packages[@]} ] || exit 1

# Install them all into an empty root.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg_root() { dpkg --root="$root" --force-not-root --force-depends --log=/dev/null "$@"; }
if ! dpkg_root -i "${debs[@]}" >"$work/dpkg.log" 2>&1; then
  cat "$work/dpkg.log" >&2
  echo "FAIL: dpkg -i" >&2
  exit 1
fi

# Every file a package declares is installed, and nothing else is.
declared=$work/declared
for p in "${packages[@]}"; do
  dpkg_root -L "$p" >>"$declared"
  [ "$(dpkg_root -s "$p" | sed -n 's/^Status: //p')" = "install ok installed" ] || fail "$p: not installed"
done
while read -r path; do
  [ "$path" = "/." ] && continue
  [ -e "$root$path" ] || fail "declared but not installed: $path"
done <"$declared"
undeclared=$(cd "$root" && find usr ! -type d | sed 's|^|/|' | grep -vxF -f "$declared" || true)
[ -z "$undeclared" ] || fail "installed but declared by no package: $undeclared"
verify=$(dpkg_root --verify "${packages[@]}" 2>&1) || true
[ -z "$verify" ] || fail "dpkg --verify: $verify"

# Desktop entries: valid, and what they start and show is installed.
for entry in "$root"/usr/share/applications/*.desktop; do
  [ -e "$entry" ] || break
  name=$(basename "$entry")
  out=$(desktop-file-validate "$entry" 2>&1) || fail "$name: $out"
  [ -z "$out" ] || fail "$name: $out"
  exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  [ -x "$root/usr/bin/$exec" ] || fail "$name: Exec $exec is not installed in /usr/bin"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  for size in 16 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
    if [ ! -f "$png" ]; then
      fail "$name: no $size x $size icon $icon"
      continue
    fi
    # The PNG signature, then IHDR's width and height as big-endian words.
    head=$(od -An -tx1 -N24 "$png" | tr -d ' \n')
    expect=$(printf '89504e470d0a1a0a0000000d49484452%08x%08x' "$size" "$size")
    [ "$head" = "$expect" ] || fail "$name: $png is not a $size x $size PNG"
  done
done
[ -n "$(ls "$root"/usr/share/applications/*.desktop 2>/dev/null)" ] || fail "no desktop entries"

# Every program has a manual page that formats without a warning.
for bin in "$root"/usr/bin/*; do
  page=$root/usr/share/man/man1/$(basename "$bin").1.gz
  if [ ! -f "$page" ]; then
    fail "no manual page for $(basename "$bin")"
    continue
  fi
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# The installed virtual board runs.
if help=$("$root/usr/bin/vboard" --help 2>&1); then
  grep -q '^Usage:' <<<"$help" || fail "installed vboard --help prints no usage"
  grep -q 'vboard run' <<<"$help" || fail "installed vboard --help does not name vboard run"
else
  fail "installed vboard --help fails: $help"
fi

# Purging leaves nothing behind.
dpkg_root --purge "${packages[@]}" >"$work/purge.log" 2>&1 || fail "dpkg --purge: $(cat "$work/purge.log")"
left=$(cd "$root" && find . -path ./var/lib/dpkg -prune -o ! -type d -print)
[ -z "$left" ] || fail "left after purge: $left"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "packages ${packages[*]}: installed, checked and purged"
