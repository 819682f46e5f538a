# zlib and libdeflate for the browser build, compiled by tools/web.sh from
# Debian's source packages into ANIVERT_WEB_DEPS (include/ and lib/).
set(ANIVERT_WEB_DEPS "" CACHE PATH "Where tools/web.sh put zlib and libdeflate built for WebAssembly")
if(NOT EXISTS "${ANIVERT_WEB_DEPS}/lib/libz.a" OR NOT EXISTS "${ANIVERT_WEB_DEPS}/lib/libdeflate.a")
  message(FATAL_ERROR "ANIVERT_WEB_DEPS (${ANIVERT_WEB_DEPS}) holds no libz.a and libdeflate.a: build with tools/web.sh")
endif()
foreach(dep IN ITEMS "ZLIB::ZLIB|libz.a" "PkgConfig::LIBDEFLATE|libdeflate.a")
  string(REPLACE "|" ";" parts "${dep}")
  list(GET parts 0 target)
  list(GET parts 1 file)
  add_library(${target} STATIC IMPORTED)
  set_target_properties(${target} PROPERTIES
    IMPORTED_LOCATION "${ANIVERT_WEB_DEPS}/lib/${file}"
    INTERFACE_INCLUDE_DIRECTORIES "${ANIVERT_WEB_DEPS}/include")
endforeach()

# C++ exceptions carry the conversion's reasons.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)
