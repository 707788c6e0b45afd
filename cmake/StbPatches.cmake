# stb_image has faults on hostile files that no stb release mends; the files
# in cmake/patches/ mend them. Each sets patch_header (the header it changes),
# patch_original (a text that must occur exactly once in that header) and
# patch_replacement; its comment says why.
#
#   stb_patch_headers(SOURCE_DIR dir PATCHED_DIR dir HEADERS h... PATCHES name...)
#
# copies each header from SOURCE_DIR into PATCHED_DIR with every patch
# applied. A patch whose text is missing or repeated stops CMake with an
# error naming it: there is no build without the patches. The patched
# stb_image.h ends by defining IMGRESIZE_STB_IMAGE_PATCHED, which the
# library's source requires.
#
# As a script (tests/stb_patches.cmake runs it on altered headers):
#   cmake -DSOURCE_DIR=dir -DPATCHED_DIR=dir "-DHEADERS=h;..." "-DPATCHES=name;..." -P StbPatches.cmake

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()

function(stb_patch_headers)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "SOURCE_DIR;PATCHED_DIR" "HEADERS;PATCHES")
  set(patch_dir "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/patches")
  file(MAKE_DIRECTORY "${arg_PATCHED_DIR}")
  foreach(header IN LISTS arg_HEADERS)
    file(READ "${arg_SOURCE_DIR}/${header}" text)
    set(applied "")
    foreach(name IN LISTS arg_PATCHES)
      unset(patch_header)
      unset(patch_original)
      unset(patch_replacement)
      include("${patch_dir}/${name}.cmake")
      if(NOT patch_header OR NOT DEFINED patch_original OR NOT DEFINED patch_replacement)
        message(FATAL_ERROR "stb patch ${name}: ${patch_dir}/${name}.cmake must set "
                            "patch_header, patch_original and patch_replacement")
      endif()
      if(NOT patch_header IN_LIST arg_HEADERS)
        message(FATAL_ERROR "stb patch ${name}: patch_header '${patch_header}' is none of ${arg_HEADERS}")
      endif()
      if(NOT patch_header STREQUAL header)
        continue()
      endif()
      string(FIND "${text}" "${patch_original}" first)
      string(FIND "${text}" "${patch_original}" last REVERSE)
      if(first EQUAL -1)
        message(FATAL_ERROR "stb patch ${name} does not apply: its original text is not in "
                            "${arg_SOURCE_DIR}/${header}. Refusing to build without it; this stb "
                            "version needs the patch brought up to date (cmake/patches/${name}.cmake).")
      elseif(NOT first EQUAL last)
        message(FATAL_ERROR "stb patch ${name} does not apply: its original text occurs more than "
                            "once in ${arg_SOURCE_DIR}/${header} (cmake/patches/${name}.cmake).")
      endif()
      string(REPLACE "${patch_original}" "${patch_replacement}" text "${text}")
      list(APPEND applied ${name})
    endforeach()
    if(header STREQUAL "stb_image.h")
      string(APPEND text "\n/* This copy carries the patches of cmake/patches. */\n"
                         "#ifndef IMGRESIZE_STB_IMAGE_PATCHED\n#define IMGRESIZE_STB_IMAGE_PATCHED 1\n#endif\n")
    endif()
    # Rewritten only when the text changed, so a reconfigure rebuilds nothing.
    file(WRITE "${arg_PATCHED_DIR}/${header}.new" "${text}")
    file(COPY_FILE "${arg_PATCHED_DIR}/${header}.new" "${arg_PATCHED_DIR}/${header}" ONLY_IF_DIFFERENT)
    file(REMOVE "${arg_PATCHED_DIR}/${header}.new")
    if(applied)
      list(JOIN applied ", " applied)
      message(STATUS "stb patches applied to ${header}: ${applied}")
    endif()
  endforeach()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  stb_patch_headers(SOURCE_DIR "${SOURCE_DIR}" PATCHED_DIR "${PATCHED_DIR}"
                    HEADERS ${HEADERS} PATCHES ${PATCHES})
endif()
