# Header-only libraries from Debian's packages: CLI11 (libcli11-dev) for
# lx40's arguments, nlohmann-json (nlohmann-json3-dev) for JSON, in lx40
# and in the simulator's state file, and RapidJSON (rapidjson-dev), whose SAX
# reader reads record files back at a few hundred MB/s. A MinGW compile must never see
# /usr/include (its C library headers would replace MinGW's), so the build
# tree gets a folder holding only these two libraries' headers, and the
# target lx40_third_party puts that folder on the include path.
set(LX40_CLI11_INCLUDE_DIR "/usr/include/CLI" CACHE PATH "CLI11 headers (libcli11-dev)")
set(LX40_NLOHMANN_INCLUDE_DIR "/usr/include/nlohmann" CACHE PATH
  "nlohmann-json headers (nlohmann-json3-dev)")
set(LX40_RAPIDJSON_INCLUDE_DIR "/usr/include/rapidjson" CACHE PATH
  "RapidJSON headers (rapidjson-dev)")
foreach(_dir IN ITEMS ${LX40_CLI11_INCLUDE_DIR} ${LX40_NLOHMANN_INCLUDE_DIR}
                      ${LX40_RAPIDJSON_INCLUDE_DIR})
  if(NOT IS_DIRECTORY ${_dir})
    message(FATAL_ERROR "Missing ${_dir} (scripts/install-deps installs libcli11-dev, "
      "nlohmann-json3-dev and rapidjson-dev)")
  endif()
endforeach()
set(_lx40_third_party ${CMAKE_BINARY_DIR}/third_party_include)
file(MAKE_DIRECTORY ${_lx40_third_party})
file(CREATE_LINK ${LX40_CLI11_INCLUDE_DIR} ${_lx40_third_party}/CLI SYMBOLIC)
file(CREATE_LINK ${LX40_NLOHMANN_INCLUDE_DIR} ${_lx40_third_party}/nlohmann SYMBOLIC)
file(CREATE_LINK ${LX40_RAPIDJSON_INCLUDE_DIR} ${_lx40_third_party}/rapidjson SYMBOLIC)
add_library(lx40_third_party INTERFACE)
# SYSTEM: warnings inside the libraries are theirs, not ours.
target_include_directories(lx40_third_party SYSTEM INTERFACE ${_lx40_third_party})

# The station page's HTTP server: standalone Asio (libasio-dev) for the
# sockets and Boost.Beast's HTTP parser (libboost-dev), both header-only, in
# a folder of their own for the same reason (MinGW never sees /usr/include).
# Only lx40/page links lx40_http_third_party; Beast stays in one source file
# there, so the rest of lx40 compiles without these headers.
set(LX40_ASIO_INCLUDE_DIR "/usr/include" CACHE PATH "The folder of asio.hpp (libasio-dev)")
set(LX40_BOOST_INCLUDE_DIR "/usr/include/boost" CACHE PATH "Boost headers (libboost-dev)")
if(NOT EXISTS ${LX40_ASIO_INCLUDE_DIR}/asio.hpp OR NOT IS_DIRECTORY ${LX40_BOOST_INCLUDE_DIR}/beast)
  message(FATAL_ERROR "Missing asio.hpp or boost/beast (scripts/install-deps installs "
    "libasio-dev and libboost-dev)")
endif()
set(_lx40_http_third_party ${CMAKE_BINARY_DIR}/third_party_http_include)
file(MAKE_DIRECTORY ${_lx40_http_third_party})
file(CREATE_LINK ${LX40_ASIO_INCLUDE_DIR}/asio.hpp ${_lx40_http_third_party}/asio.hpp SYMBOLIC)
file(CREATE_LINK ${LX40_ASIO_INCLUDE_DIR}/asio ${_lx40_http_third_party}/asio SYMBOLIC)
file(CREATE_LINK ${LX40_BOOST_INCLUDE_DIR} ${_lx40_http_third_party}/boost SYMBOLIC)
add_library(lx40_http_third_party INTERFACE)
target_include_directories(lx40_http_third_party SYSTEM INTERFACE ${_lx40_http_third_party})
# Asio without Boost, without its deprecated names.
target_compile_definitions(lx40_http_third_party INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)
# Asio's handlers run inside std::atomic_thread_fence, which GCC warns that
# ThreadSanitizer does not model (-Wtsan, an error with -Werror in the tsan
# build). Its queues are guarded by mutexes as well, which it does model.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-Wno-tsan LX40_HAS_WNO_TSAN)
if(LX40_HAS_WNO_TSAN)
  target_compile_options(lx40_http_third_party INTERFACE -Wno-tsan)
endif()
if(WIN32)
  # Windows 7 and later: the socket calls Asio uses there; ws2_32 and
  # mswsock are system DLLs on every Windows PC.
  target_compile_definitions(lx40_http_third_party INTERFACE _WIN32_WINNT=0x0601)
  target_link_libraries(lx40_http_third_party INTERFACE ws2_32 mswsock)
endif()
