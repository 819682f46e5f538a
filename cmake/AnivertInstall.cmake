# What the anivert-dev package holds beside the headers and static
# libraries (installed by swf/, gif/, convert/ and platform/): the CMake
# package Anivert with the targets Anivert::swf, Anivert::gif,
# Anivert::convert and Anivert::base, and the pkg-config files anivert-swf,
# anivert-gif and anivert-convert (over anivert-base).
include(CMakePackageConfigHelpers)

set(ANIVERT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Anivert)
install(EXPORT AnivertTargets NAMESPACE Anivert:: DESTINATION ${ANIVERT_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(cmake/AnivertConfig.cmake.in ${PROJECT_BINARY_DIR}/AnivertConfig.cmake
  INSTALL_DESTINATION ${ANIVERT_CMAKE_DIR})
# Before 1.0 a minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/AnivertConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/AnivertConfig.cmake ${PROJECT_BINARY_DIR}/AnivertConfigVersion.cmake
  DESTINATION ${ANIVERT_CMAKE_DIR} COMPONENT dev)

# The libraries are static: what they link goes in Requires, so that a plain
# `pkg-config --libs` links a program as well as `--static` does
# (anivert-base, which both need, comes after them). The prefix is found
# from the file's own place, so the files hold wherever the tree is
# installed (cmake --install --prefix, or a package).
file(RELATIVE_PATH ANIVERT_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
set(ANIVERT_PC_DESCRIPTION_base "Anivert's byte streams and value types, used by anivert-swf and anivert-gif")
set(ANIVERT_PC_REQUIRES_base "zlib libdeflate")
set(ANIVERT_PC_DESCRIPTION_swf "Anivert's SWF writer: the movie object model over an SWF tag encoder")
set(ANIVERT_PC_REQUIRES_swf "anivert-base = ${PROJECT_VERSION} libjpeg")
set(ANIVERT_PC_DESCRIPTION_gif "Anivert's GIF codec: reading, optimising, drawing and writing GIF files")
set(ANIVERT_PC_REQUIRES_gif "anivert-base = ${PROJECT_VERSION}")
set(ANIVERT_PC_DESCRIPTION_convert "Anivert's conversion: one GIF into one SWF movie, from files or bytes")
set(ANIVERT_PC_REQUIRES_convert "anivert-swf = ${PROJECT_VERSION} anivert-gif = ${PROJECT_VERSION}")
foreach(ANIVERT_PC_COMPONENT base swf gif convert)
  set(ANIVERT_PC_DESCRIPTION ${ANIVERT_PC_DESCRIPTION_${ANIVERT_PC_COMPONENT}})
  set(ANIVERT_PC_REQUIRES ${ANIVERT_PC_REQUIRES_${ANIVERT_PC_COMPONENT}})
  configure_file(cmake/anivert.pc.in ${PROJECT_BINARY_DIR}/anivert-${ANIVERT_PC_COMPONENT}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/anivert-${ANIVERT_PC_COMPONENT}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endforeach()
