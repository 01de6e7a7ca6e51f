# The oldest Windows the programs run on: Windows 7 SP1 (NT 6.1). Read right after project()
# in the Windows builds (cmake/mingw-common.cmake). The headers declare nothing newer, the PE
# headers name 6.1 as the OS and subsystem version, and the Windows checks hold the shipped
# executables' imports to the functions it has (tests/win32_build/imports-win7sp1.txt). Windows
# XP is out: the tools cancel a waiting transfer from another thread (CancelIoEx) and time
# with GetTickCount64, both Vista and later.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601)
add_link_options(LINKER:--major-os-version,6,--minor-os-version,1
  LINKER:--major-subsystem-version,6,--minor-subsystem-version,1)

# The wine prefix of the build's wine checks. The 64-bit presets of a checkout share one
# (build/wineprefix-win64): where wine32 runs emulated its 32-bit half takes minutes to make.
set(VT_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "The wine prefix of this build's wine checks")
