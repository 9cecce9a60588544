# Cross build for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64): the same
# sources, run under 64-bit Wine where 32-bit programs cannot run. Never shipped: only
# 32-bit Windows XP reports version 5.1.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MINGW_PREFIX x86_64-w64-mingw32)
set(MINGW_PACKAGE g++-mingw-w64-x86-64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-compilers.cmake)
