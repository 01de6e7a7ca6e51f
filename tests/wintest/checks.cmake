# End-to-end checks of the Windows test build (included by cmake/windows-test.cmake once every
# folder is read):
#
# wintest.<tool>   the tool under wine on a virtual X server, reaching a virtual board of this
#                  host over loopback TCP, worked by board_driver (e2e_check.sh says what is done)
#
# The virtual board is a program of the build machine: a native build of it is made beside
# the cross build (host/). The checks need wine for this build's architecture, as the other
# Windows checks do (tests/windows/checks.cmake); where it does not run, none are registered.
include(ExternalProject)
enable_testing()

set(vt_wintest_dir ${CMAKE_SOURCE_DIR}/tests/wintest)

ExternalProject_Add(host_vboard
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/host
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVT_WITH_GUI=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target vboard --parallel 2
  BUILD_ALWAYS TRUE
  INSTALL_COMMAND "")
set(vt_host_vboard ${CMAKE_BINARY_DIR}/host/vboard/vboard)

add_executable(board_driver ${vt_wintest_dir}/board_driver.cpp)
target_link_libraries(board_driver PRIVATE user32 shell32)
set_target_properties(board_driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/wintest)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(vt_wintest_loader /usr/lib/wine/wine)
else()
  set(vt_wintest_loader /usr/lib/wine/wine64)
endif()
execute_process(COMMAND ${vt_wintest_loader} --version RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 0)
  message(STATUS "Windows test build: ${vt_wintest_loader} does not run here; no end-to-end checks registered")
  return()
endif()

foreach(tool varnel tesmor)
  if(TARGET ${tool})
    add_test(NAME wintest.${tool}
      COMMAND ${vt_wintest_dir}/e2e_check.sh ${vt_wintest_loader} ${CMAKE_BINARY_DIR}/wineprefix
        ${vt_host_vboard} $<TARGET_FILE:${tool}> $<TARGET_FILE:board_driver> ${tool})
    # One wine prefix for every wine check of the build: they take turns.
    set_tests_properties(wintest.${tool} PROPERTIES RESOURCE_LOCK vt_wine_display TIMEOUT 600 LABELS wine)
  endif()
endforeach()
