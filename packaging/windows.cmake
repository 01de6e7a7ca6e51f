# The Windows installer (NSIS, cross-built with Debian's makensis): the shipped 32-bit programs
# under Program Files, Start-menu shortcuts for the GUI programs, an uninstaller, version
# 1.0.0.1 in its own version resource. Written to build/windows/varnel-tesmor-<version>-setup.exe.
# Included by the top-level CMakeLists.txt once every folder is read.
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4 OR VT_WINDOWS_TEST)
  return()
endif()
find_program(VT_MAKENSIS makensis REQUIRED DOC "NSIS compiler (Debian package nsis)")

set(VT_INSTALL_FILES)
set(VT_UNINSTALL_FILES)
set(VT_INSTALL_SHORTCUTS)
set(VT_UNINSTALL_SHORTCUTS)
set(vt_installer_targets)

# vt_installer_program(<target> [SHORTCUT name]): installs the program; SHORTCUT gives it a
# Start-menu entry of that name (GUI programs).
macro(vt_installer_program target)
  cmake_parse_arguments(ARG "" "SHORTCUT" "" ${ARGN})
  if(TARGET ${target})
    set(exe $<TARGET_FILE_NAME:${target}>)
    string(APPEND VT_INSTALL_FILES "  File \"$<TARGET_FILE:${target}>\"\n")
    string(APPEND VT_UNINSTALL_FILES "  Delete \"$INSTDIR\\${exe}\"\n")
    if(ARG_SHORTCUT)
      string(APPEND VT_INSTALL_SHORTCUTS
        "  CreateShortcut \"\${MENU}\\${ARG_SHORTCUT}.lnk\" \"$INSTDIR\\${exe}\"\n")
      string(APPEND VT_UNINSTALL_SHORTCUTS "  Delete \"\${MENU}\\${ARG_SHORTCUT}.lnk\"\n")
    endif()
    list(APPEND vt_installer_targets ${target})
  endif()
endmacro()

# The programs: one line each.
vt_installer_program(varnel SHORTCUT Varnel)
vt_installer_program(tesmor SHORTCUT Tesmor)
vt_installer_program(boardctl)

set(VT_INSTALLER_NAME varnel-tesmor-${PROJECT_VERSION}-setup.exe)
set(VT_INSTALLER ${CMAKE_BINARY_DIR}/${VT_INSTALLER_NAME})
set(VT_INSTALLER_ICON ${CMAKE_BINARY_DIR}/win32res/varnel/icon128.ico)
set(VT_INSTALLER_ICON_EXE varnel.exe)
set(script ${CMAKE_BINARY_DIR}/installer/installer.nsi)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/installer.nsi.in ${script}.in @ONLY)
file(GENERATE OUTPUT ${script} INPUT ${script}.in)

add_custom_command(OUTPUT ${VT_INSTALLER}
  COMMAND ${VT_MAKENSIS} -V2 -INPUTCHARSET UTF8 ${script}
  DEPENDS ${script} ${vt_installer_targets} varnel_resources
  COMMENT "Building the installer ${VT_INSTALLER_NAME}"
  VERBATIM)
add_custom_target(windows_installer ALL DEPENDS ${VT_INSTALLER})

# Checks: the version resource on the host; under wine32, a silent install, the installed
# Varnel, a silent uninstall (packaging/windows/installer_check.sh; slow where wine32 runs
# under emulation, so it carries the label "installer").
add_test(NAME windows.installer.version
  COMMAND ${CMAKE_COMMAND} -DEXE=${VT_INSTALLER} -DVERSION=${PROJECT_VERSION}
    -P ${CMAKE_CURRENT_LIST_DIR}/windows/check_version.cmake)
if(vt_wine32_mode MATCHES "^(native|emulated)$" AND TARGET dialog_probe)
  vt_windows_layout(varnel varnel_layout)
  set(programs)
  foreach(target IN LISTS vt_installer_targets)
    list(APPEND programs $<TARGET_FILE:${target}>)
  endforeach()
  add_test(NAME windows.installer.wine
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/windows/installer_check.sh ${vt_wine_loader}
      ${CMAKE_BINARY_DIR}/installer/wineprefix ${VT_INSTALLER} ${script} $<TARGET_FILE:dialog_probe> ${varnel_layout}
      ${programs})
  set_tests_properties(windows.installer.wine PROPERTIES RESOURCE_LOCK vt_wine_display TIMEOUT 3600
    LABELS "wine;installer")
endif()
