# The part of a MinGW-w64 cross build on Debian that both architectures
# share. The toolchain file of an architecture sets LX40_MINGW_TRIPLE
# (x86_64-w64-mingw32, i686-w64-mingw32) and CMAKE_SYSTEM_PROCESSOR, then
# includes this. The -posix compilers are needed: the -win32 ones have no
# std::thread or std::mutex.
if(NOT LX40_MINGW_TRIPLE)
  message(FATAL_ERROR "mingw-w64.cmake: the toolchain file must set LX40_MINGW_TRIPLE")
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${LX40_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LX40_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LX40_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LX40_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The C and C++ runtimes go into every binary, so the programs start on a PC
# without MinGW.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
