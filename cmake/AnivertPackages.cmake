# The Debian packages of a build: `cpack -G DEB` (or the target `package`)
# in the build folder makes
#   anivert      the programs, their manual pages, the desktop entry, the
#                icon and the help page (component anivert);
#   anivert-dev  the headers and static libraries of the SWF writer and the
#                GIF codec, with the CMake package and the pkg-config files
#                (component dev).
# Version and maintainer come from project() and ANIVERT_MAINTAINER.

# The copyright and the changelog of each package.
find_program(ANIVERT_GZIP gzip)
string(TIMESTAMP ANIVERT_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
if(ANIVERT_GZIP)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    COMMAND ${ANIVERT_GZIP} -9nkf ${PROJECT_BINARY_DIR}/packaging/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
    VERBATIM)
  add_custom_target(changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
endif()
foreach(component anivert dev)
  set(package anivert)
  if(component STREQUAL "dev")
    set(package anivert-dev)
  endif()
  install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  if(ANIVERT_GZIP)
    install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME anivert)
set(CPACK_PACKAGE_VENDOR Tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ANIVERT_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ANIVERT_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL anivert dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The first line of each package's description is its synopsis (CPack
# would put a summary of the project before it: there is none).
set(CPACK_DEBIAN_ANIVERT_PACKAGE_NAME anivert)
set(CPACK_DEBIAN_ANIVERT_PACKAGE_SECTION graphics)
# The libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_ANIVERT_PACKAGE_SHLIBDEPS ON)
# The test page and the help are opened with xdg-open.
set(CPACK_DEBIAN_ANIVERT_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_ANIVERT_DESCRIPTION "convert animated GIF files into SWF movies
Anivert turns animated GIFs into SWF movies that play like the GIF: every
frame a lossless bitmap with transparency, shown for its delay and taken
away as its disposal method says. Compact movies show the same pictures at
about the size of the GIF.

This package holds the desktop program anivert, the command-line converter
anivert-cli, and the tools gifdump (lists, optimises and saves GIF files)
and swfdump (lists the tags of a movie).")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME anivert-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "zlib1g-dev, libjpeg-dev, libdeflate-dev")
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS "pkg-config")
set(CPACK_DEBIAN_DEV_DESCRIPTION "SWF writer, GIF codec and conversion of Anivert (static libraries)
The libraries of Anivert: an SWF writer (a movie object model of shapes,
bitmaps, buttons, sprites, actions and sounds over a tag encoder up to
version 7), a GIF codec (reading, colour maps, optimising, drawing and
writing GIF87a and GIF89a files) and the conversion over both (one GIF
into one movie, from a file or bytes to a file or bytes).

This package holds their headers (<anivert/FlashObjects.h>,
<anivert/GIFImage.h>, <anivert/Convert.h>), static libraries, the CMake
package Anivert (targets Anivert::swf, Anivert::gif and Anivert::convert)
and the pkg-config modules anivert-swf, anivert-gif and anivert-convert.")

include(CPack)
