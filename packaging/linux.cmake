# Installing on Linux: every program with its manual page, and the GUI programs with their
# desktop entry and icons; then the Debian packages CPack makes of them, one per program.
# Included by the top-level CMakeLists.txt once every folder is read.
include(GNUInstallDirs)
include(${CMAKE_SOURCE_DIR}/tools/hicolor/icons.cmake)
set(VT_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

# vt_install_program(<target> [PACKAGE name] [MAN pages...] [DESKTOP entries...]
#                    [ICON_SOURCES files...] [RECOMMENDS packages])
#
# Installs <target> into bin/ with its manual pages (packaging/man/, compressed at build time)
# and its desktop entries (packaging/linux/); ICON_SOURCES are the resource sources whose
# icon 128 becomes the hicolor icon <target>.png. Everything goes to the component PACKAGE
# (default: the target's name), which CPack makes into the Debian package of that name, with
# the description in packaging/debian/<package>.description (a summary line, then the long
# description; no double quotes or semicolons, which CPack's configuration would mangle) and the
# package's copyright and changelog.
function(vt_install_program target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "PACKAGE" "MAN;DESKTOP;ICON_SOURCES;RECOMMENDS")
  if(NOT TARGET ${target})
    return()
  endif()
  set(package ${target})
  if(ARG_PACKAGE)
    set(package ${ARG_PACKAGE})
  endif()
  set(gz ${CMAKE_BINARY_DIR}/packaging/${package})
  set(written)

  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${package})
  foreach(page IN LISTS ARG_MAN)
    vt_gzip(${VT_PACKAGING_DIR}/man/${page} ${gz}/${page}.gz)
    list(APPEND written ${gz}/${page}.gz)
    string(REGEX MATCH "[0-9]$" section ${page})
    install(FILES ${gz}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${package})
  endforeach()
  foreach(entry IN LISTS ARG_DESKTOP)
    install(FILES ${VT_PACKAGING_DIR}/linux/${entry} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
      COMPONENT ${package})
  endforeach()
  if(ARG_ICON_SOURCES)
    vt_hicolor_icons(${target} SOURCES ${ARG_ICON_SOURCES} COMPONENT ${package})
  endif()

  # What Debian asks of every package: its copyright file and its changelog.
  if(NOT package IN_LIST VT_PACKAGES)
    configure_file(${VT_PACKAGING_DIR}/debian/changelog.in ${gz}/changelog @ONLY)
    vt_gzip(${gz}/changelog ${gz}/changelog.gz)
    list(APPEND written ${gz}/changelog.gz)
    install(FILES ${VT_PACKAGING_DIR}/debian/copyright ${gz}/changelog.gz
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${package})
    set(description_file ${VT_PACKAGING_DIR}/debian/${package}.description)
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${description_file})
    file(READ ${description_file} description)
    string(STRIP "${description}" description)
    string(TOUPPER ${package} upper)
    set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package} PARENT_SCOPE)
    set(CPACK_COMPONENT_${upper}_DESCRIPTION "${description}" PARENT_SCOPE)
    if(ARG_RECOMMENDS)
      list(JOIN ARG_RECOMMENDS ", " recommends)
      set(CPACK_DEBIAN_${upper}_PACKAGE_RECOMMENDS ${recommends} PARENT_SCOPE)
    endif()
    set(VT_PACKAGES ${VT_PACKAGES} ${package} PARENT_SCOPE)
  endif()
  add_custom_target(${target}_package_files ALL DEPENDS ${written})
endfunction()

# A file compressed as Debian wants it (gzip -9n: best compression, no name or time inside).
function(vt_gzip in out)
  add_custom_command(OUTPUT ${out}
    COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" gzip ${in} ${out}
    DEPENDS ${in}
    VERBATIM)
endfunction()

# The programs: one line each.
set(VT_PACKAGES)
vt_install_program(varnel MAN varnel.1 DESKTOP varnel.desktop RECOMMENDS vboard
  ICON_SOURCES varnel/varnel_resources.cpp shell/tool_art.cpp)
vt_install_program(tesmor MAN tesmor.1 DESKTOP tesmor.desktop RECOMMENDS vboard
  ICON_SOURCES tesmor/tesmor_resources.cpp tesmor/lamp_art.cpp shell/tool_art.cpp)
vt_install_program(boardctl MAN boardctl.1 RECOMMENDS vboard)
# The virtual board has no icon of its own: its panel entry shows the board the tools' icon draws.
vt_install_program(vboard MAN vboard.1 DESKTOP vboard-panel.desktop
  ICON_SOURCES varnel/varnel_resources.cpp shell/tool_art.cpp)
# The front panel, where it is a program of its own that `vboard run --panel` starts.
vt_install_program(vboard-panel PACKAGE vboard MAN vboard-panel.1)

# The Debian packages: `cpack -G DEB` in the build tree (scripts/package.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnel-tesmor)
set(CPACK_PACKAGE_VENDOR "Varnel and Tesmor developers")
set(CPACK_PACKAGE_CONTACT "Varnel and Tesmor developers <developers@varnel-tesmor.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${VT_PACKAGES})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE varnel-tesmor)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Dependencies come from the libraries the binaries link (dpkg-shlibdeps), not from a list.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

# The install test packs and installs the programs; the sanitizer builds would only repeat it.
if(BUILD_TESTING AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  add_test(NAME package_install
    COMMAND ${VT_PACKAGING_DIR}/tests/install_check.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION} ${VT_PACKAGES})
endif()
