# GoogleTest from Debian's sources (package googletest), built with our own
# toolchain so the same tests build natively and with MinGW-w64.
set(LX40_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${LX40_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found at ${LX40_GTEST_SOURCE_DIR} (apt-get install googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${LX40_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_gtest EXCLUDE_FROM_ALL)
