#!/usr/bin/env bash
# The Windows installer under wine, in a fresh prefix of its own: a silent install (/S) puts
# every program and its Start-menu shortcut where the installer says, with its uninstall
# entry in the registry; the installed Varnel starts with no board attached (dialog_probe
# looks at it and closes it); a silent uninstall removes every file, folder and registry key
# the install added, leaving the prefix's files as they were before.
#   installer_check.sh LOADER PREFIX INSTALLER PROBE LAYOUT PROGRAM...
# LOADER: /usr/lib/wine/wine (the installer is a 32-bit program); PROGRAM: the built programs
# the installer carries, the first one is started.
set -uo pipefail
checks=$(dirname "$0")/../../tests/win32_build
. "$checks/wine_env.sh"
loader=$1 prefix=$2 installer=$3 probe=$4 layout=$5
shift 5
programs=("$@")
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

# A prefix of its own, made once (under emulation that alone takes many minutes) and made
# again when an earlier run left the product installed in it.
prefix_dir() { echo "$prefix/drive_c/Program Files/Varnel and Tesmor"; }
if [ -e "$(prefix_dir)" ]; then rm -rf "$prefix" "$prefix.lock"; fi
"$checks/wine32_mode.sh" --explain
start=$(date +%s)
vt_wine_setup "$loader" "$prefix" || exit 1
echo "     wine prefix ready after $(($(date +%s) - start)) s"
# No menu entries on the host for the shortcuts the installer makes.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
wineserver=$(dirname "$WINELOADER")/wineserver
drive=$WINEPREFIX/drive_c
dir=$(prefix_dir)
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Varnel and Tesmor"
key='Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\VarnelTesmor'
snapshot() { (cd "$drive" && find . -path ./windows -prune -o -path ./users -prune -o -print | sort); }
in_registry() { "$wineserver" -w; grep -q "^\[$key\]" "$WINEPREFIX/system.reg"; }
snapshot >"$prefix.before"

start=$(date +%s)
"$WINELOADER" "$installer" /S
status=$?
"$wineserver" -w
echo "     silent install: exit $status after $(($(date +%s) - start)) s"
check "the installer exits 0" [ "$status" -eq 0 ]
for p in "${programs[@]}"; do
  check "installed: Program Files\\Varnel and Tesmor\\$(basename "$p")" cmp -s "$p" "$dir/$(basename "$p")"
done
check "installed: the uninstaller" [ -f "$dir/uninstall.exe" ]
for lnk in Varnel Tesmor "Uninstall Varnel and Tesmor"; do
  check "Start-menu shortcut $lnk.lnk" [ -f "$menu/$lnk.lnk" ]
done
check "Varnel.lnk starts varnel.exe" grep -aqi 'varnel\.exe' "$menu/Varnel.lnk"
check "Tesmor.lnk starts tesmor.exe" grep -aqi 'tesmor\.exe' "$menu/Tesmor.lnk"
check "uninstall entry in the registry" in_registry

# The installed Varnel starts: title "No Board Attached ", its dialog as built.
vt_xvfb_start || exit 1
first=$(basename "${programs[0]}")
"$WINELOADER" "$dir/$first" &
tool=$!
patience=1
[ "$("$checks/wine32_mode.sh")" = emulated ] && patience=25
"$WINELOADER" "$probe" --layout "$(vt_winpath "$layout")" --patience "$patience" --dialog 102 \
  --title "No Board Attached " --close
check "the installed $first starts with no board attached and closes" [ $? -eq 0 ]
wait "$tool"
"$wineserver" -w
vt_xvfb_stop

start=$(date +%s)
"$WINELOADER" "$dir/uninstall.exe" /S
status=$?
# The uninstaller runs from a copy in the temporary folder; wait for it to finish.
"$wineserver" -w
echo "     silent uninstall: exit $status after $(($(date +%s) - start)) s"
check "the uninstaller exits 0" [ "$status" -eq 0 ]
check "the installation folder is gone" [ ! -e "$dir" ]
check "the Start-menu folder is gone" [ ! -e "$menu" ]
check "the uninstall entry is gone" bash -c "! grep -q '^\[$key\]' '$WINEPREFIX/system.reg'"
snapshot >"$prefix.after"
check "the prefix's files are as before the install" diff "$prefix.before" "$prefix.after"

"$wineserver" -k 2>/dev/null
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
