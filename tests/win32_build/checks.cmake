# Checks of the Windows build (included by cmake/windows-programs.cmake, top-level scope).
#
# windows.pe.<tool>      the executable's format, subsystem, versions and imports (objdump on
#                        the host)
# windows.res.<tool>     its resources and their language (wrestool on the host)
# windows.wine.<check>   the programs under wine on a virtual X server, looked at and driven
#                        by dialog_probe, a small Win32 program built here
# windows.wine32.<tool>  (64-bit twin, where wine32 runs emulated) the shipped 32-bit tool
#                        itself under wine32, looked at by the twin's probe
#
# The wine checks need wine for this build's architecture: /usr/lib/wine/wine (wine32) for
# the 32-bit build, /usr/lib/wine/wine64 for the 64-bit twin. How wine32 runs decides what
# the 32-bit build checks (tests/win32_build/wine32_mode.sh):
#   native    every wine check runs on the 32-bit build itself
#   emulated  qemu user-mode emulation, minutes a program start: the 32-bit build registers no
#             wine checks; the windows-x64 twin runs them on the same sources, and starts the
#             shipped varnel.exe and tesmor.exe under wine32 in its own prefix: no board,
#             title, layout, icons, about box
#   none      the twin runs every wine check; the shipped executables are looked at as files
set(vt_checks_dir ${CMAKE_SOURCE_DIR}/tests/win32_build)
execute_process(COMMAND ${vt_checks_dir}/wine32_mode.sh OUTPUT_VARIABLE vt_wine32_mode
  OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${vt_checks_dir}/wine32_mode.sh --explain OUTPUT_VARIABLE vt_wine32_explained
  OUTPUT_STRIP_TRAILING_WHITESPACE)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(vt_pe_format pei-i386)
  set(vt_wine_loader /usr/lib/wine/wine)
else()
  set(vt_pe_format pei-x86-64)
  set(vt_wine_loader /usr/lib/wine/wine64)
endif()

set(vt_tools)
foreach(tool varnel tesmor)
  if(TARGET ${tool})
    list(APPEND vt_tools ${tool})
    # The imported functions of the shipped (32-bit) executables against those Windows 7 SP1 has.
    set(allowed "")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(allowed -DALLOWED=${vt_checks_dir}/imports-win7sp1.txt)
    endif()
    add_test(NAME windows.pe.${tool}
      COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=$<TARGET_FILE:${tool}> -DFORMAT=${vt_pe_format}
        ${allowed} -P ${vt_checks_dir}/check_pe.cmake)
  endif()
endforeach()

# The console program: the same checks, console subsystem.
if(TARGET boardctl)
  set(allowed "")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(allowed -DALLOWED=${vt_checks_dir}/imports-win7sp1.txt)
  endif()
  add_test(NAME windows.pe.boardctl
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=$<TARGET_FILE:boardctl> -DFORMAT=${vt_pe_format}
      ${allowed} -DSUBSYSTEM=console -P ${vt_checks_dir}/check_pe.cmake)
endif()

# The dialogs in the resources against the tool's layout table (every id, class, style and
# rectangle; the same table the Linux window tests compare the templates with).
foreach(tool ${vt_tools})
  vt_windows_layout(${tool} layout)
  add_test(NAME windows.layout.${tool}
    COMMAND ${CMAKE_COMMAND} -DLAYOUT=${layout} -DTABLE=${CMAKE_SOURCE_DIR}/${tool}/tests/layout_table.txt
      -P ${vt_checks_dir}/check_layout_table.cmake)
endforeach()

# The resources, listed by icoutils' wrestool: the dialogs 100 and 102, icon 128, Tesmor's
# bitmaps 129 and 130 and the version, all in language 2052.
find_program(VT_WRESTOOL wrestool)
if(VT_WRESTOOL)
  foreach(tool ${vt_tools})
    set(expect 5:100,5:102,14:128,16:1)
    if(tool STREQUAL "tesmor")
      string(APPEND expect ,2:129,2:130)
    endif()
    add_test(NAME windows.res.${tool}
      COMMAND ${CMAKE_COMMAND} -DWRESTOOL=${VT_WRESTOOL} -DEXE=$<TARGET_FILE:${tool}> -DEXPECT=${expect}
        -P ${vt_checks_dir}/check_resources.cmake)
  endforeach()
else()
  message(STATUS "Windows checks: no wrestool (icoutils); the resource listing is not checked")
endif()

add_executable(dialog_probe ${vt_checks_dir}/dialog_probe.cpp ${vt_checks_dir}/layout_file.cpp
  ${vt_checks_dir}/outside_window.cpp)
target_link_libraries(dialog_probe PRIVATE version user32 gdi32)
set_target_properties(dialog_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/win32_build)

set(vt_wine_runs FALSE)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  if(vt_wine32_mode STREQUAL "native")
    set(vt_wine_runs TRUE)
  endif()
  message(STATUS "Wine checks: ${vt_wine32_explained}")
elseif(EXISTS ${vt_wine_loader})
  execute_process(COMMAND ${vt_wine_loader} --version RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(rc EQUAL 0)
    set(vt_wine_runs TRUE)
  endif()
endif()
if(NOT vt_wine_runs)
  message(STATUS "Wine checks: none registered in this build (${CMAKE_SIZEOF_VOID_P}-byte pointers)")
  return()
endif()

set(vt_prefix ${VT_WINE_PREFIX})
set(vt_run ${vt_checks_dir}/wine_check.sh ${vt_wine_loader} ${vt_prefix})
set(vt_probe $<TARGET_FILE:dialog_probe>)
# The prefix is made once, before the checks that use it (minutes where wine32 is emulated).
add_test(NAME windows.wine.prefix COMMAND ${vt_checks_dir}/wine_prefix.sh ${vt_wine_loader} ${vt_prefix})
set_tests_properties(windows.wine.prefix PROPERTIES FIXTURES_SETUP vt_wine_prefix RESOURCE_LOCK vt_wine_display
  TIMEOUT 1800 LABELS wine)
set(vt_lock RESOURCE_LOCK vt_wine_display FIXTURES_REQUIRED vt_wine_prefix)

# With no board: the title, the action buttons off, every control as its template says,
# focus and tab order; field clamps through the edit-change handlers; detection again
# after a device change; the about box through the system command; the close command.
if(TARGET varnel)
  vt_windows_layout(varnel varnel_layout)
  add_test(NAME windows.wine.varnel
    COMMAND ${vt_run} $<TARGET_FILE:varnel> ${vt_probe} --layout @${varnel_layout}
      --resources @$<TARGET_FILE:varnel> --name Varnel
      --dialog 102 --title "No Board Attached " --disabled 1002,1005,1007,1008 --enabled 1000,1001,1003,1004,1006
      --focus 1000 --set 1006=100 --expect 1006=64 --set 1001=300 --expect 1001=255 --set 1004=-7 --expect 1004=0
      --set "1003=01 02 你好" --expect "1003=01 02 你好" --device-change --about 100 --close)
endif()
if(TARGET tesmor)
  vt_windows_layout(tesmor tesmor_layout)
  add_test(NAME windows.wine.tesmor
    COMMAND ${vt_run} $<TARGET_FILE:tesmor> ${vt_probe} --layout @${tesmor_layout}
      --resources @$<TARGET_FILE:tesmor> --name Tesmor
      --dialog 102 --title "No Board Attached " --disabled 1001 --enabled 1000 --focus 1000
      --set "1000=1A 数值" --expect "1000=1A 数值" --expect "1010=00 : 00 : 00" --device-change --about 100 --close)
endif()
foreach(tool ${vt_tools})
  set_tests_properties(windows.wine.${tool} PROPERTIES ${vt_lock} TIMEOUT 300 LABELS wine)
endforeach()

# The shipped 32-bit executables, where only this 64-bit twin runs every wine check. Where
# wine32 runs emulated, each tool starts under it in this build's prefix (a 64-bit one, which
# runs 32-bit programs too) and the twin's probe looks at it: no board, title, layout, icons
# and version, about box, closing. The probe runs natively; only the tool is emulated, and
# its start takes minutes. Without wine32 the probe loads their resources as data.
set(VT_WINDOWS_32BIT_DIR "" CACHE PATH "The 32-bit Windows build, whose executables the 64-bit twin checks")
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND EXISTS ${VT_WINDOWS_32BIT_DIR}/CMakeCache.txt)
  foreach(tool ${vt_tools})
    string(SUBSTRING ${tool} 0 1 first)
    string(SUBSTRING ${tool} 1 -1 rest)
    string(TOUPPER ${first} first)
    set(exe32 ${VT_WINDOWS_32BIT_DIR}/${tool}/${tool}.exe)
    set(layout32 ${VT_WINDOWS_32BIT_DIR}/win32res/${tool}/layout.txt)
    if(vt_wine32_mode STREQUAL "emulated")
      add_test(NAME windows.wine32.${tool}
        COMMAND ${CMAKE_COMMAND} -E env VT_PROGRAM_LOADER=/usr/lib/wine/wine VT_WINE_PATIENCE=25
          ${vt_run} ${exe32} ${vt_probe} --layout @${layout32} --resources @${exe32} --name ${first}${rest}
          --patience 25 --dialog 102 --title "No Board Attached " --about 100 --close)
      set_tests_properties(windows.wine32.${tool} PROPERTIES ${vt_lock} TIMEOUT 1800 LABELS "wine;wine32")
    else()
      add_test(NAME windows.wine.shipped.${tool}
        COMMAND ${vt_checks_dir}/wine_run.sh ${vt_wine_loader} ${vt_prefix} ${vt_probe}
          --layout @${layout32} --resources @${exe32} --name ${first}${rest})
      set_tests_properties(windows.wine.shipped.${tool} PROPERTIES ${vt_lock} TIMEOUT 300 LABELS wine)
    endif()
  endforeach()
endif()

# The Win32 backend in-process: GoogleTest built for Windows from Debian's sources.
set(vt_gtest_src /usr/src/googletest/googletest)
if(EXISTS ${vt_gtest_src}/src/gtest-all.cc)
  add_library(vt_win_gtest STATIC ${vt_gtest_src}/src/gtest-all.cc ${vt_gtest_src}/src/gtest_main.cc)
  target_include_directories(vt_win_gtest SYSTEM PUBLIC ${vt_gtest_src}/include PRIVATE ${vt_gtest_src})
  add_executable(afx_win32_tests ${vt_checks_dir}/backend_test.cpp ${vt_checks_dir}/resource_dialog.cpp
    ${CMAKE_SOURCE_DIR}/platform/afx/tests/test_dialog.cpp)
  target_include_directories(afx_win32_tests PRIVATE ${CMAKE_SOURCE_DIR}/platform/afx/tests
    ${CMAKE_SOURCE_DIR}/platform/afx/win32)
  # Dialog 901 as a resource, written as the tools' are.
  vt_windows_resources(afx_win32_tests NAME AfxWin32Tests SOURCES tests/win32_build/resource_dialog.cpp DIALOGS 901)
  target_link_libraries(afx_win32_tests PRIVATE afx vt_win_gtest)
  afx_gbk_target(afx_win32_tests)
  set_target_properties(afx_win32_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/win32_build)
  add_test(NAME windows.wine.backend COMMAND ${vt_checks_dir}/wine_run.sh ${vt_wine_loader} ${vt_prefix}
    $<TARGET_FILE:afx_win32_tests>)
  set_tests_properties(windows.wine.backend PROPERTIES ${vt_lock} TIMEOUT 300 LABELS wine)
else()
  message(STATUS "Wine checks: no GoogleTest sources in ${vt_gtest_src}; the backend test is left out")
endif()
