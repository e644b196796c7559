# Debian package of Orvella: `cpack -G DEB` in the build folder (or
# `cpack --config CPackConfig.cmake`) writes orvella_<version>_<arch>.deb with
# everything `cmake --install` puts under /usr. Runtime libraries are found by
# dpkg-shlibdeps (package dpkg-dev); Depends only lists what it cannot see.

set(orvella_package_version ${PROJECT_VERSION})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvella)
set(CPACK_PACKAGE_VENDOR Brenlowe)
set(CPACK_PACKAGE_VERSION ${orvella_package_version})
set(CPACK_PACKAGE_CONTACT "Brenlowe <orvella@brenlowe.invalid>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# The first line is the synopsis; CPack indents the rest and turns the blank
# line into the " ." that separates paragraphs in a control file.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mathematics problems for students and teachers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Orvella opens an educational disc of mathematics problems (arithmetic,
algebra, geometry, statistics) with a picture of each problem and a worked
solution. Problems can be collected into a worksheet, or a random worksheet
drawn by topic and level, and copied to the clipboard as rich text.

The package holds the desktop program orvella, the classroom server
orvella-serve, which serves a disc to every browser on a school network with
a worksheet for each student, the command-line tool qilcd, which runs the same
engine without windows, and a demo disc.")

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brenlowe <orvella@brenlowe.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Merged with what dpkg-shlibdeps finds. The engine reads the system's
# /etc/mime.types to name the types of the pages it serves.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "media-types")

# The program is built to find its disc under CMAKE_INSTALL_PREFIX, while the
# .deb always installs under /usr: refuse to package a build made for another
# prefix. cpack reads this file before it packs with any generator.
set(CPACK_ORVELLA_BUILD_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackPrefixCheck.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE} [=[
if(CPACK_GENERATOR STREQUAL "DEB"
   AND NOT CPACK_ORVELLA_BUILD_PREFIX STREQUAL CPACK_PACKAGING_INSTALL_PREFIX)
  message(FATAL_ERROR "This build was configured with CMAKE_INSTALL_PREFIX="
    "${CPACK_ORVELLA_BUILD_PREFIX}, but the Debian package installs under "
    "${CPACK_PACKAGING_INSTALL_PREFIX}: configure with "
    "-DCMAKE_INSTALL_PREFIX=${CPACK_PACKAGING_INSTALL_PREFIX} before packaging.")
endif()
]=])

include(CPack)
