# Cross build for 32-bit x86 Windows with MinGW-w64 on Debian.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(LX40_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# On x86 a __stdcall function's symbol carries its argument size (_Name@8).
# The linker would quietly bind such a function to a plain name in a .def
# file or an import library, so a caller that assumes cdecl would corrupt
# its stack. Every export and import of ours is cdecl: refuse the fix-up.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--disable-stdcall-fixup")
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -Wl,--disable-stdcall-fixup")

# No test emulator: the build machines run no 32-bit code at all (Wine's
# 32-bit loader included), so the x86 build is checked without running it.
