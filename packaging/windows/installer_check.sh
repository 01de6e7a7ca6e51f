#!/usr/bin/env bash
# The Windows installer under wine, in a fresh prefix of its own: an older build (made here
# from the same script, version 1.0.0.0) installed silently, then this one over it: an
# upgrade in the same folder, the old uninstaller run first, one copy; every program and its
# Start-menu shortcut where the installer says, with its uninstall entry in the registry; the
# installed Varnel starts with no board attached (dialog_probe looks at it) and, while it
# runs, another install and an uninstall refuse to touch the folder; an install into another
# folder moves the copy there instead of making a second; boardctl's PATH entry, asked for,
# goes into the machine's PATH and out again alone; a silent uninstall removes every file,
# folder and registry key the install added, leaving the prefix's files as they were before.
#   installer_check.sh LOADER PREFIX INSTALLER SCRIPT PROBE LAYOUT PROGRAM...
# LOADER: /usr/lib/wine/wine (the installer is a 32-bit program); SCRIPT: the installer's
# NSIS script; PROGRAM: the built programs the installer carries, the first one is started.
set -uo pipefail
checks=$(dirname "$0")/../../tests/win32_build
. "$checks/wine_env.sh"
loader=$1 prefix=$2 installer=$3 script=$4 probe=$5 layout=$6
shift 6
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
# A value of the uninstall key, and the machine's PATH, as the registry file holds them.
key_value() { "$wineserver" -w; sed -n "/^\[$key\]/,/^\[/p" "$WINEPREFIX/system.reg" | sed -n "s/^\"$1\"=\"\(.*\)\"\$/\1/p"; }
machine_path() { "$WINELOADER" reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' /v Path 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_EXPAND_SZ *//p; s/.*REG_SZ *//p' | head -n 1; }
run_installer() {  # run_installer EXE ARGS...: its exit status
  "$WINELOADER" "$@"
  local status=$?
  "$wineserver" -w
  return $status
}
snapshot >"$prefix.before"
path_before=$(machine_path)

# An older build of the same installer, installed first.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
makensis -V1 -INPUTCHARSET UTF8 -DVERSION=1.0.0.0 "-DOUTFILE=$work/old-setup.exe" "$script" >/dev/null
check "an older installer (1.0.0.0) is built" [ -f "$work/old-setup.exe" ]
run_installer "$work/old-setup.exe" /S
check "the older build installs" [ "$(key_value DisplayVersion)" = 1.0.0.0 ]
echo "old" >"$dir/boardctl.exe"  # a file of the old version, to be replaced

start=$(date +%s)
run_installer "$installer" /S
status=$?
echo "     silent install over 1.0.0.0: exit $status after $(($(date +%s) - start)) s"
check "the installer exits 0" [ "$status" -eq 0 ]
check "the upgrade is recorded (this version)" [ "$(key_value DisplayVersion)" = "$(basename "$installer" | sed 's/^varnel-tesmor-\(.*\)-setup\.exe$/\1/')" ]
check "one copy: Program Files holds only this folder of ours" [ "$(ls "$drive/Program Files" | grep -c 'Varnel and Tesmor')" -eq 1 ]
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
check "the installed $first starts with no board attached" [ $? -eq 0 ]
wait "$tool"
"$wineserver" -w

# While a program runs from the folder, neither an install nor an uninstall touches it.
"$WINELOADER" "$dir/$first" &
tool=$!
"$WINELOADER" "$probe" --layout "$(vt_winpath "$layout")" --patience "$patience" --dialog 102 \
  --title "No Board Attached " >/dev/null
cp "$dir/$first" "$work/running.exe"
# Waited for by their own exit (wineserver -w would wait for the running tool too). The
# uninstaller runs from a copy of itself (Au_.exe in the temporary folder): waited for by name.
"$WINELOADER" "$installer" /S
check "an install refuses while $first runs (exit 2)" [ $? -eq 2 ]
# The copy's process (Un.exe, or Au_.exe in older NSIS): true once it has been seen and has
# ended (gone, or a zombie nobody has reaped yet).
copy_ended() {
  local seen=0 states
  for _ in $(seq 300); do
    states=$(ps -eo stat=,args= | grep -E '(Un|Au_)\.exe' | grep -v grep | cut -c1)
    if [ -n "$states" ]; then
      seen=1
      grep -qv Z <<<"$states" || return 0
    elif [ "$seen" -eq 1 ]; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}
"$WINELOADER" "$dir/uninstall.exe" /S
check "the uninstaller's copy ran and ended" copy_ended
check "an uninstall refuses while $first runs: every program stays" \
  bash -c 'for p in "$@"; do [ -f "$p" ] || exit 1; done' - "$dir/tesmor.exe" "$dir/boardctl.exe" "$dir/uninstall.exe"
check "and so does the uninstall entry" "$WINELOADER" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VarnelTesmor' 
check "and the running $first is untouched" cmp -s "$dir/$first" "$work/running.exe"
"$WINELOADER" "$probe" --layout "$(vt_winpath "$layout")" --patience "$patience" --dialog 102 \
  --title "No Board Attached " --close >/dev/null
wait "$tool"
"$wineserver" -w
vt_xvfb_stop

# Into another folder, with boardctl on PATH: the copy moves, and PATH gains that folder alone.
other='C:\Tools\VT'
run_installer "$installer" /S /ADDTOPATH "/D=$other"
check "an install into another folder exits 0" [ $? -eq 0 ]
check "the copy moved: the old folder is gone" [ ! -e "$dir" ]
dir=$drive/Tools/VT
check "the copy moved: the new folder holds $first" cmp -s "${programs[0]}" "$dir/$first"
check "the uninstall key names the new folder" [ "$(key_value InstallLocation)" = 'C:\\Tools\\VT' ]
check "PATH has the folder added ($(machine_path))" [ "$(machine_path)" = "$path_before;$other" ]
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
check "PATH is as before ($(machine_path))" [ "$(machine_path)" = "$path_before" ]
rmdir "$drive/Tools" 2>/dev/null
snapshot >"$prefix.after"
check "the prefix's files are as before the install" diff "$prefix.before" "$prefix.after"

"$wineserver" -k 2>/dev/null
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
