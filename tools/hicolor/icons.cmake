# vt_hicolor_icons(<name> SOURCES <files...> [ICON id] [COMPONENT component])
#
# Gives a Linux program its desktop icon: an icon writer (tools/hicolor) is built with the
# program's own resource sources (their static registration fills the resource table), run at
# build time, and writes icon <id> (default 128) as <name>.png in each hicolor size under
# <build>/hicolor/<name>/; `cmake --install` puts them in share/icons/hicolor.
# Nothing it writes is kept in the sources.
find_package(ZLIB REQUIRED)

set(VT_HICOLOR_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VT_HICOLOR_SIZES 16 32 48 64 128 256)

if(NOT TARGET hicolor_png)
  add_library(hicolor_png STATIC ${VT_HICOLOR_DIR}/png_file.cpp)
  target_include_directories(hicolor_png PUBLIC ${VT_HICOLOR_DIR} ${CMAKE_SOURCE_DIR}/platform/afx/include
    ${CMAKE_SOURCE_DIR}/platform/winapi/include)
  target_link_libraries(hicolor_png PUBLIC ZLIB::ZLIB)
endif()

function(vt_hicolor_icons name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "ICON;COMPONENT" "SOURCES")
  if(NOT ARG_ICON)
    set(ARG_ICON 128)
  endif()
  set(src ${CMAKE_SOURCE_DIR})
  set(dir ${CMAKE_BINARY_DIR}/hicolor/${name})
  list(TRANSFORM ARG_SOURCES PREPEND ${src}/)

  add_executable(${name}_icon_writer ${VT_HICOLOR_DIR}/icon_writer.cpp
    ${src}/platform/afx/common/resources.cpp ${ARG_SOURCES})
  target_include_directories(${name}_icon_writer PRIVATE ${src}/shell ${src}/varnel ${src}/tesmor)
  target_link_libraries(${name}_icon_writer PRIVATE hicolor_png)

  set(pngs)
  foreach(size IN LISTS VT_HICOLOR_SIZES)
    list(APPEND pngs ${dir}/${size}x${size}/apps/${name}.png)
  endforeach()
  string(REPLACE ";" "," sizes "${VT_HICOLOR_SIZES}")
  add_custom_command(OUTPUT ${pngs}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${dir}
    COMMAND ${name}_icon_writer --out ${dir} --name ${name} --icon ${ARG_ICON} --sizes ${sizes}
    DEPENDS ${name}_icon_writer
    COMMENT "Writing the desktop icons of ${name}"
    VERBATIM)
  add_custom_target(${name}_icons ALL DEPENDS ${pngs})
  install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor COMPONENT ${ARG_COMPONENT})
endfunction()

if(BUILD_TESTING AND NOT TARGET hicolor_tests)
  add_executable(hicolor_tests ${VT_HICOLOR_DIR}/tests/png_file_test.cpp
    ${CMAKE_SOURCE_DIR}/platform/afx/common/resources.cpp)
  target_link_libraries(hicolor_tests PRIVATE hicolor_png GTest::gtest_main)
  gtest_discover_tests(hicolor_tests)
endif()
