# The build-time stb patches (cmake/StbPatches.cmake): each applies to the
# headers the build uses, and a header where a patch's text is missing or
# occurs twice stops the patching with an error naming that patch.
#
#   cmake -DSTB_SOURCE_DIR=dir -DSCRIPT=.../StbPatches.cmake "-DPATCHES=a;b" -DWORK=dir -P stb_patches.cmake

cmake_minimum_required(VERSION 3.25)

set(headers stb_image.h stb_image_write.h stb_image_resize2.h)
get_filename_component(patch_dir "${SCRIPT}" DIRECTORY)
set(patch_dir "${patch_dir}/patches")

# Runs the patching of `source` into `patched`; sets rc and output.
function(run_patching source patched)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${source} -DPATCHED_DIR=${patched}
            "-DHEADERS=${headers}" "-DPATCHES=${PATCHES}" -P ${SCRIPT}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(rc "${result}" PARENT_SCOPE)
  set(output "${out}${err}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK}")
set(failures 0)
macro(fail message)
  message(SEND_ERROR "${message}")
  math(EXPR failures "${failures} + 1")
endmacro()

# The headers as fetched: every patch applies once.
run_patching("${STB_SOURCE_DIR}" "${WORK}/good")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "patching the fetched headers failed:\n${output}")
endif()
set(good_output "${output}")
file(READ "${WORK}/good/stb_image.h" good_image)
string(FIND "${good_image}" "#define IMGRESIZE_STB_IMAGE_PATCHED 1" marker)
if(marker EQUAL -1)
  fail("the patched stb_image.h lacks IMGRESIZE_STB_IMAGE_PATCHED")
endif()

foreach(name IN LISTS PATCHES)
  include("${patch_dir}/${name}.cmake")
  string(FIND "${good_image}" "${patch_replacement}" at)
  if(at EQUAL -1)
    fail("${name}: its replacement is not in the patched header")
  endif()
  string(FIND "${good_output}" "${name}" named)
  if(named EQUAL -1)
    fail("${name}: not reported as applied:\n${good_output}")
  endif()

  file(READ "${STB_SOURCE_DIR}/${patch_header}" pristine)
  string(REPLACE "${patch_original}" "" missing "${pristine}")
  set(twice "${pristine}\n#if 0\n${patch_original}#endif\n")
  foreach(variant IN ITEMS missing twice)
    set(dir "${WORK}/${name}-${variant}")
    file(MAKE_DIRECTORY "${dir}/source")
    foreach(header IN LISTS headers)
      file(COPY_FILE "${STB_SOURCE_DIR}/${header}" "${dir}/source/${header}")
    endforeach()
    file(WRITE "${dir}/source/${patch_header}" "${${variant}}")
    run_patching("${dir}/source" "${dir}/patched")
    if(rc EQUAL 0)
      fail("${name}, text ${variant}: patching did not fail")
    endif()
    string(FIND "${output}" "stb patch ${name} does not apply" named)
    if(named EQUAL -1)
      fail("${name}, text ${variant}: the error does not name the patch:\n${output}")
    endif()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "${failures} check(s) failed")
endif()
list(JOIN PATCHES ", " names)
message(STATUS "stb patches: ${names} apply, and each refuses a header without its text or with it twice")
