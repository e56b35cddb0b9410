# Cross build for 64-bit Windows with MinGW-w64 on Debian.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LX40_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# ctest runs the Windows test programs under Wine, in a prefix of the build's
# own (made by scripts/wine-env), never in ~/.wine.
set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all,err+module /usr/lib/wine/wine64)
