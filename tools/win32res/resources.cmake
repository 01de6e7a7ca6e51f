# vt_windows_resources(<target> NAME <name> SOURCES <files...>
#                      [ICONS ids...] [BITMAPS ids...] [DIALOGS ids...])
#
# Gives a Windows program its resources: a resource writer is built for the build
# machine from tools/win32res and the program's own resource sources (their static
# registration fills the resource table), run at build time, and its resource script
# (icons, bitmaps, dialogs, version 1.0.0.1 in block "080404B0", all in language 0x0804;
# UTF-8) is compiled by windres into an object linked into the program.
# It also writes layout.txt beside it, the dialogs and images for the wine checks:
# vt_windows_layout(<target>) gives its path.
find_program(VT_HOST_CXX NAMES g++ c++ REQUIRED DOC "C++ compiler of the build machine, for build tools")

set(VT_WIN32RES_DIR ${CMAKE_CURRENT_LIST_DIR})

function(vt_windows_layout target out)
  set(${out} ${CMAKE_BINARY_DIR}/win32res/${target}/layout.txt PARENT_SCOPE)
endfunction()

function(vt_windows_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "NAME" "SOURCES;ICONS;BITMAPS;DIALOGS")
  set(src ${CMAKE_SOURCE_DIR})
  set(dir ${CMAKE_BINARY_DIR}/win32res/${target})
  set(writer ${dir}/resource_writer)
  set(writer_sources
    ${VT_WIN32RES_DIR}/resource_writer.cpp
    ${VT_WIN32RES_DIR}/image_files.cpp
    ${src}/platform/afx/common/resources.cpp)
  list(TRANSFORM ARG_SOURCES PREPEND ${src}/)
  file(GLOB headers CONFIGURE_DEPENDS
    ${VT_WIN32RES_DIR}/*.h ${src}/platform/afx/include/*.h ${src}/shell/*.h ${src}/varnel/*.h ${src}/tesmor/*.h)
  string(REPLACE ";" "," icons "${ARG_ICONS}")
  string(REPLACE ";" "," bitmaps "${ARG_BITMAPS}")
  string(REPLACE ";" "," dialogs "${ARG_DIALOGS}")

  add_custom_command(OUTPUT ${writer}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${VT_HOST_CXX} -std=c++20 -O1 -finput-charset=UTF-8 -fexec-charset=GB18030
      -I${src}/platform/afx/include -I${src}/platform/winapi/include
      -I${src}/shell -I${src}/varnel -I${src}/tesmor
      ${writer_sources} ${ARG_SOURCES} -o ${writer}
    DEPENDS ${writer_sources} ${ARG_SOURCES} ${headers}
    COMMENT "Building the resource writer of ${target} for the build machine"
    VERBATIM)
  add_custom_command(OUTPUT ${dir}/resources.rc ${dir}/layout.txt
    COMMAND ${writer} --out ${dir} --name ${ARG_NAME} --file $<TARGET_FILE_NAME:${target}>
      --version ${PROJECT_VERSION} --icons "${icons}" --bitmaps "${bitmaps}" --dialogs "${dialogs}"
    DEPENDS ${writer}
    COMMENT "Writing the resources of ${target}"
    VERBATIM)
  add_custom_command(OUTPUT ${dir}/resources.o
    COMMAND ${CMAKE_RC_COMPILER} -O coff -c 65001 -i ${dir}/resources.rc -o ${dir}/resources.o
    DEPENDS ${dir}/resources.rc
    COMMENT "Compiling the resources of ${target}"
    VERBATIM)
  add_custom_target(${target}_resources DEPENDS ${dir}/resources.o ${dir}/layout.txt)
  add_dependencies(${target} ${target}_resources)
  target_sources(${target} PRIVATE ${dir}/resources.o)
endfunction()
