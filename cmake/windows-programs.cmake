# The Windows build's own steps, run once every directory is read (platform/afx defers
# this file to the end of the top-level directory): the tools' resources, the zip of
# the shipped executables, and the checks of tests/win32_build.
include(${CMAKE_SOURCE_DIR}/tools/win32res/resources.cmake)

if(TARGET varnel)
  vt_windows_resources(varnel NAME Varnel
    SOURCES varnel/varnel_resources.cpp shell/tool_art.cpp
    ICONS 128 DIALOGS 102 100)
endif()
if(TARGET tesmor)
  vt_windows_resources(tesmor NAME Tesmor
    SOURCES tesmor/tesmor_resources.cpp tesmor/lamp_art.cpp shell/tool_art.cpp
    ICONS 128 BITMAPS 129 130 DIALOGS 102 100)
endif()

# The shipped pair, with the console program beside them when it is built, 32-bit only:
# build/windows/varnel-tesmor-<version>-win32.zip.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND TARGET varnel AND TARGET tesmor)
  set(zip ${CMAKE_BINARY_DIR}/varnel-tesmor-${PROJECT_VERSION}-win32.zip)
  set(stage ${CMAKE_BINARY_DIR}/zip-stage)
  set(vt_zip_programs varnel tesmor)
  if(TARGET boardctl)
    list(APPEND vt_zip_programs boardctl)
  endif()
  set(vt_zip_files)
  set(vt_zip_names)
  foreach(program ${vt_zip_programs})
    list(APPEND vt_zip_files $<TARGET_FILE:${program}>)
    list(APPEND vt_zip_names $<TARGET_FILE_NAME:${program}>)
  endforeach()
  add_custom_command(OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${vt_zip_files} ${stage}
    COMMAND ${CMAKE_COMMAND} -E chdir ${stage} ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip ${vt_zip_names}
    DEPENDS ${vt_zip_programs}
    COMMENT "Packing ${zip}"
    VERBATIM)
  add_custom_target(windows_zip ALL DEPENDS ${zip})
endif()

enable_testing()
include(${CMAKE_SOURCE_DIR}/tests/win32_build/checks.cmake)
