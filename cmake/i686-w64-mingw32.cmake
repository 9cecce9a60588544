# Cross build for 32-bit Windows with mingw-w64 (Debian: g++-mingw-w64-i686): the
# shipped Pravenit.exe.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_PREFIX i686-w64-mingw32)
set(MINGW_PACKAGE g++-mingw-w64-i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-compilers.cmake)
