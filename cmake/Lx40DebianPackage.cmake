# The Debian package of the libusb build (cpack -G DEB in build/linux-libusb):
# three packages, one per component, so each holds what Debian expects of
# it and lintian finds no error:
#   lx40        - the program (component "program")
#   liblx40-1   - libmeterlink.so.1, libbulkpipe.so.1, libusbhost_libusb.so.1
#                 and the udev rules for the meters (component "runtime")
#   liblx40-dev - the public headers and the .so links (component "dev")
# Each carries the README's Linux section as its documentation and a
# copyright file.
include_guard(GLOBAL)
include(GNUInstallDirs)
# Debian's multiarch folder (/usr/lib/x86_64-linux-gnu), whatever prefix
# the build folder was configured with.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
endif()

set(_lx40_libraries meterlink bulkpipe usbhost_libusb)
foreach(_lib IN LISTS _lx40_libraries)
  set_target_properties(${_lib} PROPERTIES VERSION ${PROJECT_VERSION}
                                           SOVERSION ${PROJECT_VERSION_MAJOR})
endforeach()

install(TARGETS lx40 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(TARGETS ${_lx40_libraries}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
install(FILES
    ${PROJECT_SOURCE_DIR}/meterlink/include/mlink.h
    ${PROJECT_SOURCE_DIR}/meterlink/include/meterlink.h
    ${PROJECT_SOURCE_DIR}/meterlink/include/meter_commands.h
    ${PROJECT_SOURCE_DIR}/bulkpipe/include/bulkpipe.h
    ${PROJECT_SOURCE_DIR}/usbhost/include/usbhost.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lx40 COMPONENT dev)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/70-lx40.rules
  DESTINATION lib/udev/rules.d COMPONENT runtime)

# Documentation: the README's "Real meters on Linux" section, the copyright
# file, and the changelog Debian wants (gzipped, as policy says; a native
# package's is changelog.gz).
set(_lx40_doc_dir ${CMAKE_BINARY_DIR}/debian-doc)
file(READ ${PROJECT_SOURCE_DIR}/README.md _readme)
string(REGEX MATCH "## Real meters on Linux\n.*" _linux_section "${_readme}")
string(REGEX REPLACE "\n## [^\n]*\n.*$" "\n" _linux_section "${_linux_section}")
if(NOT _linux_section)
  message(FATAL_ERROR "README.md has no \"## Real meters on Linux\" section for the package")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
file(WRITE ${_lx40_doc_dir}/README.Linux.md "${_linux_section}")
string(TIMESTAMP _lx40_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP _lx40_year "%Y" UTC)
foreach(_package lx40 liblx40-1 liblx40-dev)
  file(WRITE ${_lx40_doc_dir}/${_package}/changelog
    "${_package} (${PROJECT_VERSION}) stable; urgency=medium\n\n"
    "  * Release ${PROJECT_VERSION}.\n\n"
    " -- ${LX40_PUBLISHER} <support@vantor-photonics.example>  ${_lx40_date}\n")
  file(WRITE ${_lx40_doc_dir}/${_package}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: ${_package}\n\n"
    "Files: *\nCopyright: ${_lx40_year} ${LX40_PUBLISHER}\nLicense: proprietary\n"
    " All rights reserved. ${LX40_PRODUCT_NAME} software for LX40 optical power meters.\n")
endforeach()
find_program(LX40_GZIP gzip REQUIRED)

function(lx40_package_docs component package)
  set(_dir ${_lx40_doc_dir}/${package})
  # -n: no name or time stamp in the archive, so a rebuild gives the same bytes.
  add_custom_command(OUTPUT ${_dir}/changelog.gz
    COMMAND ${LX40_GZIP} -9nc ${_dir}/changelog > ${_dir}/changelog.gz
    DEPENDS ${_dir}/changelog VERBATIM)
  add_custom_target(lx40_doc_${component} ALL DEPENDS ${_dir}/changelog.gz)
  install(FILES ${_dir}/copyright ${_dir}/changelog.gz ${_lx40_doc_dir}/README.Linux.md
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endfunction()
lx40_package_docs(program lx40)
lx40_package_docs(runtime liblx40-1)
lx40_package_docs(dev liblx40-dev)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lx40)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "${LX40_PUBLISHER}")
set(CPACK_PACKAGE_CONTACT "${LX40_PUBLISHER} <support@vantor-photonics.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${LX40_PRODUCT_NAME} sensor data setup for LX40 meters")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program runtime dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# lx40 needs the libraries of liblx40-1: dpkg-shlibdeps finds them in the
# build folder; the dependency on that package comes from the components.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME lx40)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION electronics)
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION
  "LX40 command line for production lines\n lx40 lists LX40 optical power meters on USB, loads their sensor data\n tables, runs a station that sets up each arriving meter, and reads the\n record files back.")
set(CPACK_COMPONENT_PROGRAM_DEPENDS runtime)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME liblx40-1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The linker cache is brought up to date by dpkg's trigger.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/linux/triggers)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "LX40 meter libraries (Meterlink, Bulkpipe, libusb backend)\n Meterlink talks to LX40 optical power meters over USB through Bulkpipe\n and libusb-1.0; the udev rules give the user at the machine and the\n plugdev group access to the meters.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME liblx40-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "LX40 meter libraries: development headers\n The public headers of Meterlink (mlink.h, meterlink.h, meter_commands.h),\n Bulkpipe (bulkpipe.h) and the usbhost seam (usbhost.h), and the links\n to link against the libraries.")
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
include(CPack)
