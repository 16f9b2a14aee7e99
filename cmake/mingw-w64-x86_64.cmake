# Cross-building for 64-bit Windows with MinGW-w64 (Debian:
# g++-mingw-w64-x86-64). The -posix compilers use winpthreads, which
# std::thread and std::mutex need with GCC 12; the runtime is linked in
# statically, so the programs run without MinGW's DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LW_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${LW_MINGW_PREFIX}-gcc-posix ${LW_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${LW_MINGW_PREFIX}-g++-posix ${LW_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${LW_MINGW_PREFIX}-windres)

# Appended, so roots given with -DCMAKE_FIND_ROOT_PATH (libraries built for
# Windows elsewhere) are searched too.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${LW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
