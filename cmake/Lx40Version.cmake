# The project's version, the file VERSION (x.y.z) that the top-level
# CMakeLists.txt gives project(), is the only one: the libraries' and lx40's
# version resources, their compile-time version text, the package and
# installer names (through lx40-version.txt in the build folder) and the
# Python package's version (python/setup.py reads the same file) all come
# from it. Sensorwiz keeps a version of its own in its resource script.
include_guard(GLOBAL)

# Included by the top-level CMakeLists.txt: PROJECT_VERSION is ours here.
set(LX40_VERSION ${PROJECT_VERSION})
set(LX40_VERSION_NUMBERS ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH})
list(LENGTH LX40_VERSION_NUMBERS _count)
if(NOT _count EQUAL 3)
  message(FATAL_ERROR "The project's version must be x.y.z, not '${PROJECT_VERSION}'")
endif()
set(LX40_PUBLISHER "Vantor Photonics")
set(LX40_PRODUCT_NAME "Vantor LX40")

# Read by scripts/package-real for the zip's and the installer's names.
file(WRITE ${CMAKE_BINARY_DIR}/lx40-version.txt "${LX40_VERSION}\n")

# lx40_version_info(<target> DESCRIPTION <text>)
#
# Gives <target> the project's version in one line:
#   - the compile definitions LX40_VERSION_TEXT="x.y.z" and
#     LX40_VERSION_MAJOR, LX40_VERSION_MINOR, LX40_VERSION_PATCH (numbers),
#     on every platform;
#   - on Windows, a version resource (file and product version x.y.z.0,
#     file type from the target's type, <text> as file description, the
#     binary's file name as internal and original name).
# Example: lx40_version_info(lx40 DESCRIPTION "LX40 command line")
function(lx40_version_info target)
  cmake_parse_arguments(V "" "DESCRIPTION" "" ${ARGN})
  if(NOT V_DESCRIPTION)
    message(FATAL_ERROR "lx40_version_info(${target} DESCRIPTION <text>)")
  endif()
  list(GET LX40_VERSION_NUMBERS 0 _major)
  list(GET LX40_VERSION_NUMBERS 1 _minor)
  list(GET LX40_VERSION_NUMBERS 2 _patch)
  target_compile_definitions(${target} PRIVATE LX40_VERSION_TEXT="${LX40_VERSION}"
    LX40_VERSION_MAJOR=${_major} LX40_VERSION_MINOR=${_minor} LX40_VERSION_PATCH=${_patch})
  if(NOT WIN32)
    return()
  endif()

  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "EXECUTABLE")
    set(LX40_RC_FILE_TYPE VFT_APP)
  elseif(_type STREQUAL "SHARED_LIBRARY")
    set(LX40_RC_FILE_TYPE VFT_DLL)
  else()
    message(FATAL_ERROR "lx40_version_info(${target}): a ${_type} has no version resource")
  endif()
  set(_numbers ${LX40_VERSION_NUMBERS} 0)
  list(JOIN _numbers "," LX40_RC_VERSION_COMMAS)
  list(JOIN _numbers "." LX40_RC_VERSION_DOTS)
  set(LX40_RC_DESCRIPTION "${V_DESCRIPTION}")
  # The file name is known when the build is generated (OUTPUT_NAME may be
  # set after this call), so it is filled in then.
  set(LX40_RC_FILE_NAME "$<TARGET_FILE_NAME:${target}>")

  set(_dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_version)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/lx40_version.rc.in ${_dir}/version.rc.in @ONLY)
  file(GENERATE OUTPUT ${_dir}/version.rc INPUT ${_dir}/version.rc.in)
  # A target of its own: the compiler options of our C++ targets are not
  # resource compiler options.
  add_library(${target}_version OBJECT ${_dir}/version.rc)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:${target}_version>)
endfunction()
