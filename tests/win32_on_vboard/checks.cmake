# End-to-end checks of the Windows test build (included by cmake/windows-test.cmake once every
# folder is read):
#
# wintest.<tool>   the tool under wine on a virtual X server, reaching a virtual board of this
#                  host over loopback TCP, worked by board_driver (e2e_check.sh says what is done)
# wintest.boardctl the console program under wine on such a board (boardctl_check.sh)
#
# The virtual board is a program of the build machine: a native build of it is made beside
# the cross build (host/). The checks need wine for this build's architecture, as the other
# Windows checks do (tests/win32_build/checks.cmake); where it does not run, none are registered.
include(ExternalProject)
enable_testing()

set(vt_wintest_dir ${CMAKE_SOURCE_DIR}/tests/win32_on_vboard)

ExternalProject_Add(host_vboard
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/host
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVT_WITH_GUI=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target vboard --parallel 2
  BUILD_ALWAYS TRUE
  INSTALL_COMMAND "")
set(vt_host_vboard ${CMAKE_BINARY_DIR}/host/vboard/vboard)

# The window helpers it shares with dialog_probe of the Windows build's checks.
add_executable(board_driver ${vt_wintest_dir}/board_driver.cpp ${CMAKE_SOURCE_DIR}/tests/win32_build/outside_window.cpp)
target_include_directories(board_driver PRIVATE ${CMAKE_SOURCE_DIR}/tests/win32_build)
target_link_libraries(board_driver PRIVATE user32 shell32)
set_target_properties(board_driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/win32_on_vboard)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(vt_wintest_loader /usr/lib/wine/wine)
else()
  set(vt_wintest_loader /usr/lib/wine/wine64)
endif()
execute_process(COMMAND ${vt_wintest_loader} --version RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # wine32 under qemu's user-mode emulation crashes when a socket is used after a thread has
  # ended, as the board connections do: only a native wine32 runs these checks.
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tests/win32_build/wine32_mode.sh OUTPUT_VARIABLE mode
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT mode STREQUAL "native")
    set(rc 1)
  endif()
endif()
if(NOT rc EQUAL 0)
  message(STATUS "Windows test build: ${vt_wintest_loader} does not run natively here; no end-to-end checks registered")
  return()
endif()

# wintest.standin: the stand-in's Windows face in-process, kernel32 handles and the stand-in's
# side by side (GoogleTest). GoogleTest for Windows is built by tests/win32_build/checks.cmake
# (vt_win_gtest), which is read after this file: the test is defined once that has run. Where
# wine does not run it is not registered (this file ends before it is scheduled).
function(vt_wintest_standin_test)
  set(gtest_src /usr/src/googletest/googletest)
  if(NOT TARGET vt_win_gtest)
    if(NOT EXISTS ${gtest_src}/src/gtest-all.cc)
      message(STATUS "Windows test build: no GoogleTest sources in ${gtest_src}; wintest.standin left out")
      return()
    endif()
    add_library(vt_win_gtest STATIC ${gtest_src}/src/gtest-all.cc ${gtest_src}/src/gtest_main.cc)
    target_include_directories(vt_win_gtest SYSTEM PUBLIC ${gtest_src}/include PRIVATE ${gtest_src})
  endif()
  add_executable(standin_win32_tests ${CMAKE_SOURCE_DIR}/tests/win32_on_vboard/standin_win32_test.cpp)
  target_link_libraries(standin_win32_tests PRIVATE winapi vt_win_gtest)
  set_target_properties(standin_win32_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/win32_on_vboard)
  set(loader /usr/lib/wine/wine64)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(loader /usr/lib/wine/wine)
  endif()
  add_test(NAME wintest.standin
    COMMAND ${CMAKE_SOURCE_DIR}/tests/win32_build/wine_run.sh ${loader} ${VT_WINE_PREFIX}
      $<TARGET_FILE:standin_win32_tests>)
  set_tests_properties(wintest.standin PROPERTIES RESOURCE_LOCK vt_wine_display FIXTURES_REQUIRED vt_wine_prefix
    TIMEOUT 300 LABELS wine)
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL vt_wintest_standin_test)

foreach(tool varnel tesmor)
  if(TARGET ${tool})
    add_test(NAME wintest.${tool}
      COMMAND ${vt_wintest_dir}/e2e_check.sh ${vt_wintest_loader} ${VT_WINE_PREFIX}
        ${vt_host_vboard} $<TARGET_FILE:${tool}> $<TARGET_FILE:board_driver> ${tool})
    # One wine prefix for every wine check of the build, made first (windows.wine.prefix,
    # tests/win32_build/checks.cmake): they take turns.
    set_tests_properties(wintest.${tool} PROPERTIES RESOURCE_LOCK vt_wine_display FIXTURES_REQUIRED vt_wine_prefix
      TIMEOUT 600 LABELS wine)
  endif()
endforeach()

# Varnel's session recorded under wine, and the one it recorded on Linux played to it.
if(TARGET varnel)
  add_test(NAME wintest.varnel.session
    COMMAND ${vt_wintest_dir}/e2e_check.sh ${vt_wintest_loader} ${VT_WINE_PREFIX}
      ${vt_host_vboard} $<TARGET_FILE:varnel> $<TARGET_FILE:board_driver> varnel-session)
  add_test(NAME wintest.varnel.replay
    COMMAND ${vt_wintest_dir}/e2e_check.sh ${vt_wintest_loader} ${VT_WINE_PREFIX}
      ${vt_host_vboard} $<TARGET_FILE:varnel> $<TARGET_FILE:board_driver> varnel-replay
      ${CMAKE_SOURCE_DIR}/tests/sessions/varnel-linux.trace)
  set_tests_properties(wintest.varnel.session wintest.varnel.replay PROPERTIES RESOURCE_LOCK vt_wine_display
    FIXTURES_REQUIRED vt_wine_prefix TIMEOUT 600 LABELS wine)
endif()

if(TARGET boardctl)
  add_test(NAME wintest.boardctl
    COMMAND ${vt_wintest_dir}/boardctl_check.sh ${vt_wintest_loader} ${CMAKE_BINARY_DIR}/wineprefix
      ${vt_host_vboard} $<TARGET_FILE:boardctl>)
  set_tests_properties(wintest.boardctl PROPERTIES RESOURCE_LOCK vt_wine_display TIMEOUT 600 LABELS wine)
endif()
