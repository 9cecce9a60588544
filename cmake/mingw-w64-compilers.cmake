# Shared by the mingw-w64 toolchain files: picks the -posix compilers of MINGW_PREFIX and
# stops at once, before any compiler check, when they are not installed. Stopping here
# keeps a half-configured build folder from caching empty compiler flags.
# The -posix compilers are used: their C++ library has the threading support that
# GoogleTest needs; the programs themselves are linked statically either way.
foreach(tool gcc-posix g++-posix windres)
    find_program(MINGW_TOOL_${tool} ${MINGW_PREFIX}-${tool} NO_CACHE)
    if(NOT MINGW_TOOL_${tool})
        message(FATAL_ERROR "${MINGW_PREFIX}-${tool} is not installed: run scripts/setup.sh "
                            "(it installs ${MINGW_PACKAGE}), then configure again.")
    endif()
endforeach()

set(CMAKE_C_COMPILER ${MINGW_TOOL_gcc-posix})
set(CMAKE_CXX_COMPILER ${MINGW_TOOL_g++-posix})
set(CMAKE_RC_COMPILER ${MINGW_TOOL_windres})

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
