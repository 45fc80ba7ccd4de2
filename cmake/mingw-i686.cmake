# Cross-compiling for 32-bit Windows with MinGW-w64 (posix threads); the tests
# run under Debian's 32-bit Wine (make test-x86).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
