# Toolchain: 64-bit Windows (PE32+, x86-64), for testing only: a twin of the 32-bit build for
# running the wine checks on hosts whose kernel cannot run i386 code (wine32 needs it). Never
# shipped: the board's driver takes the 16-byte control block of the 32-bit build, and this
# build's is 24 bytes (ControlBlock, board_link/board_link.h); only the virtual board takes both.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VT_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
