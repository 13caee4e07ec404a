# Cross-compile for 64-bit Windows (x86-64, PE32+) with Debian's MinGW-w64: the
# bench's build on hosts that run no 32-bit code. Players get the i686 build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
