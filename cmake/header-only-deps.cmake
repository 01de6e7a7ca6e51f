# Two header-only libraries from Debian, for both builds:
#   vt::json  nlohmann-json (nlohmann-json3-dev): every JSON object boardctl writes
#   vt::cli   CLI11 (libcli11-dev): boardctl's and vboard's command lines
# The Windows cross build must not see the host's /usr/include (its C library's headers would
# shadow MinGW's), so each library's own folder is linked into a folder of the build tree and
# only that folder goes on the include path, for every build alike.
set(VT_DEPS_INCLUDE ${CMAKE_BINARY_DIR}/deps-include)

function(vt_header_only_dep target header folder package)
  find_path(VT_${folder}_ROOT ${header} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT VT_${folder}_ROOT)
    message(FATAL_ERROR "${header} not found: install the Debian package ${package} (scripts/setup.sh does)")
  endif()
  file(MAKE_DIRECTORY ${VT_DEPS_INCLUDE})
  file(CREATE_LINK ${VT_${folder}_ROOT}/${folder} ${VT_DEPS_INCLUDE}/${folder} SYMBOLIC)
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${VT_DEPS_INCLUDE})
endfunction()

vt_header_only_dep(vt_json nlohmann/json.hpp nlohmann nlohmann-json3-dev)
vt_header_only_dep(vt_cli CLI/CLI.hpp CLI libcli11-dev)
add_library(vt::json ALIAS vt_json)
add_library(vt::cli ALIAS vt_cli)
