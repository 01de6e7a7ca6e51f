# Toolchain: 32-bit Windows (PE32, i386), the executables that ship.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VT_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
