# zlib for the PNG encoder (IMGRESIZE_PNG_ZLIB). Provides the target
# imgresize_zlib.
#
# On Linux the system's shared zlib is used (Debian: zlib1g-dev). For the
# Windows DLL the static archive is linked (Debian: libz-mingw-w64-dev), so
# the DLL imports no zlib DLL and stays self-contained.

if(NOT IMGRESIZE_PNG_ZLIB)
  return()
endif()

if(NOT IMGRESIZE_PNG_ZLIB_LEVEL MATCHES "^[1-9]$")
  message(FATAL_ERROR "IMGRESIZE_PNG_ZLIB_LEVEL must be 1 to 9, not '${IMGRESIZE_PNG_ZLIB_LEVEL}'")
endif()

if(WIN32)
  find_path(IMGRESIZE_ZLIB_INCLUDE_DIR zlib.h)
  find_library(IMGRESIZE_ZLIB_STATIC NAMES libz.a zlibstatic.lib zlibstatic)
  if(NOT IMGRESIZE_ZLIB_INCLUDE_DIR OR NOT IMGRESIZE_ZLIB_STATIC)
    message(FATAL_ERROR
      "IMGRESIZE_PNG_ZLIB needs a static zlib for Windows (Debian: libz-mingw-w64-dev); "
      "install it or configure with -DIMGRESIZE_PNG_ZLIB=OFF for stb_image_write's own deflate.")
  endif()
  add_library(imgresize_zlib STATIC IMPORTED)
  set_target_properties(imgresize_zlib PROPERTIES
    IMPORTED_LOCATION "${IMGRESIZE_ZLIB_STATIC}"
    INTERFACE_INCLUDE_DIRECTORIES "${IMGRESIZE_ZLIB_INCLUDE_DIR}")
  message(STATUS "PNG output: zlib level ${IMGRESIZE_PNG_ZLIB_LEVEL}, static ${IMGRESIZE_ZLIB_STATIC}")
else()
  find_package(ZLIB)
  if(NOT ZLIB_FOUND)
    message(FATAL_ERROR
      "IMGRESIZE_PNG_ZLIB needs zlib (Debian: zlib1g-dev); install it or configure with "
      "-DIMGRESIZE_PNG_ZLIB=OFF for stb_image_write's own deflate.")
  endif()
  add_library(imgresize_zlib INTERFACE)
  target_link_libraries(imgresize_zlib INTERFACE ZLIB::ZLIB)
  message(STATUS "PNG output: zlib level ${IMGRESIZE_PNG_ZLIB_LEVEL} (${ZLIB_LIBRARIES})")
endif()
