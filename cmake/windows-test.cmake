# The test variant of the Windows build (presets windows-test, windows-test-x64): the same
# programs, but the calls that reach the board go to the Windows-API stand-in, which reaches the
# virtual boards of the host over loopback TCP (docs/PROTOCOL.md, "Loopback TCP"). Everything
# else (windows, threads, resources) is the real Windows API. Included by the top-level
# CMakeLists.txt before the system's folders.
add_subdirectory(${CMAKE_SOURCE_DIR}/platform/vbus ${CMAKE_BINARY_DIR}/platform/vbus)
add_subdirectory(${CMAKE_SOURCE_DIR}/platform/winapi ${CMAKE_BINARY_DIR}/platform/winapi)

# Once every folder is read: every target of the system code links the stand-in, whose usage
# requirements force-include win32/winapi_redirect.h into its sources; then the end-to-end
# checks of tests/win32_on_vboard.
function(vt_redirect_system_code)
  foreach(dir board_link shell varnel tesmor boardctl)
    get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR}/${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "EXECUTABLE")
        target_link_libraries(${target} PRIVATE winapi)
      elseif(type MATCHES "^(STATIC|OBJECT)_LIBRARY$")
        target_link_libraries(${target} PUBLIC winapi)
      endif()
    endforeach()
  endforeach()
  include(${CMAKE_SOURCE_DIR}/tests/win32_on_vboard/checks.cmake)
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL vt_redirect_system_code)
