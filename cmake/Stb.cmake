# Locates the three stb headers the library is built from and checks their
# versions. With STB_INCLUDE_DIR unset, they are fetched from Debian's
# libstb-dev package into the build tree (see fetch-stb.sh); set it to a
# directory holding your own copies for an offline build.

set(STB_INCLUDE_DIR "" CACHE PATH
    "Directory with stb_image.h, stb_image_write.h and stb_image_resize2.h (empty: fetch libstb-dev)")

set(_stb_headers stb_image.h stb_image_write.h stb_image_resize2.h)

if(STB_INCLUDE_DIR)
  set(_stb_dir "${STB_INCLUDE_DIR}")
else()
  set(_stb_dir "${CMAKE_BINARY_DIR}/_deps/stb/include")
  set(_stb_missing FALSE)
  foreach(_h IN LISTS _stb_headers)
    if(NOT EXISTS "${_stb_dir}/${_h}")
      set(_stb_missing TRUE)
    endif()
  endforeach()
  if(_stb_missing)
    execute_process(
      COMMAND sh "${CMAKE_CURRENT_LIST_DIR}/fetch-stb.sh" "${_stb_dir}" "${CMAKE_BINARY_DIR}/_deps/stb/apt"
      RESULT_VARIABLE _stb_result)
    if(NOT _stb_result EQUAL 0)
      message(FATAL_ERROR
        "Could not obtain the stb headers from Debian's libstb-dev package (see the messages above). "
        "Pass -DSTB_INCLUDE_DIR=<dir> pointing at stb_image.h 2.29+, stb_image_write.h 1.16 and "
        "stb_image_resize2.h 2.x to build without the download.")
    endif()
  endif()
endif()

# Each header opens with a banner such as "/* stb_image - v2.30 - public ...".
function(_stb_check_version header name min_version max_version_exclusive)
  set(_path "${_stb_dir}/${header}")
  if(NOT EXISTS "${_path}")
    message(FATAL_ERROR "${header} not found in ${_stb_dir}")
  endif()
  file(STRINGS "${_path}" _banner LIMIT_COUNT 1)
  if(NOT _banner MATCHES "^/\\* ${name} - v([0-9]+\\.[0-9]+)")
    message(FATAL_ERROR "${_path} has no '${name} - vX.Y' banner; is it really ${name}?")
  endif()
  set(_version "${CMAKE_MATCH_1}")
  if(_version VERSION_LESS min_version OR NOT _version VERSION_LESS max_version_exclusive)
    message(FATAL_ERROR "${_path} is ${name} ${_version}; this library needs ${min_version} up to (not including) ${max_version_exclusive}")
  endif()
  set(STB_VERSION_${name} "${_version}" PARENT_SCOPE)
endfunction()

_stb_check_version(stb_image.h         stb_image         2.29 3.0)
_stb_check_version(stb_image_write.h   stb_image_write   1.16 1.17)
_stb_check_version(stb_image_resize2.h stb_image_resize2 2.0  3.0)
message(STATUS "stb headers in ${_stb_dir}: stb_image ${STB_VERSION_stb_image}, "
               "stb_image_write ${STB_VERSION_stb_image_write}, stb_image_resize2 ${STB_VERSION_stb_image_resize2}")

# Everything is compiled against a copy of the headers in the build tree
# that carries these patches (see StbPatches.cmake and cmake/patches/).
set(STB_PATCHES
    stb_image-pic-truncated-packets
    stb_image-hdr-truncated-flat
    stb_image-bmp-short-palette)
include(${CMAKE_CURRENT_LIST_DIR}/StbPatches.cmake)
stb_patch_headers(SOURCE_DIR "${_stb_dir}" PATCHED_DIR "${CMAKE_BINARY_DIR}/_deps/stb/patched"
                  HEADERS ${_stb_headers} PATCHES ${STB_PATCHES})
foreach(_h IN LISTS _stb_headers)
  # A changed source header (STB_INCLUDE_DIR) re-runs the configure.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_stb_dir}/${_h}")
endforeach()
set(STB_HEADER_DIR "${CMAKE_BINARY_DIR}/_deps/stb/patched")
set(STB_SOURCE_HEADER_DIR "${_stb_dir}")
