# Installs the build tree into a scratch prefix and builds a consumer
# against it, the way an adopter would.
#   cmake -DSTEP=install   -DBUILD_DIR=<build> -DPREFIX=<dir> -DLIBDIR=<lib> -P check_install.cmake
#   cmake -DSTEP=cmake     -DPREFIX=<dir> -DWORK=<dir> -DSOURCE=<consumer dir>
#         -DGENERATOR=<gen> -DC_COMPILER=<cc> -P check_install.cmake
#   cmake -DSTEP=pkgconfig -DPREFIX=<dir> -DWORK=<dir> -DSOURCE=<consumer dir>
#         -DPKG_CONFIG=<pkg-config> -DC_COMPILER=<cc> -DLIBDIR=<lib> -P check_install.cmake
cmake_minimum_required(VERSION 3.20)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
                  ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${result}): ${command}\n${output}")
  endif()
  set(run_output "${output}" PARENT_SCOPE)
endfunction()

function(expect_file path)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "the install tree lacks ${path}")
  endif()
endfunction()

function(expect_link path target)
  if(NOT IS_SYMLINK "${PREFIX}/${path}")
    message(FATAL_ERROR "${path} should be a symbolic link to ${target}")
  endif()
  file(READ_SYMLINK "${PREFIX}/${path}" actual)
  if(NOT actual STREQUAL target)
    message(FATAL_ERROR "${path} points to ${actual}, not ${target}")
  endif()
endfunction()

if(STEP STREQUAL "install")
  file(REMOVE_RECURSE "${PREFIX}")
  run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}")
  expect_file(include/imgresize.h)
  expect_file(${LIBDIR}/libquendril-imgresize.so.1.0.0)
  expect_link(${LIBDIR}/libquendril-imgresize.so.1 libquendril-imgresize.so.1.0.0)
  expect_link(${LIBDIR}/libquendril-imgresize.so libquendril-imgresize.so.1)
  expect_file(${LIBDIR}/cmake/quendril-imgresize/quendril-imgresize-config.cmake)
  expect_file(${LIBDIR}/cmake/quendril-imgresize/quendril-imgresize-config-version.cmake)
  expect_file(${LIBDIR}/pkgconfig/quendril-imgresize.pc)
  expect_file(bin/imgresize)
  # The installed tool finds the installed library by itself.
  run("${PREFIX}/bin/imgresize" --version)
  message(STATUS "installed: ${run_output}")

elseif(STEP STREQUAL "cmake")
  file(REMOVE_RECURSE "${WORK}")
  run(${CMAKE_COMMAND} -S "${SOURCE}" -B "${WORK}/build" -G "${GENERATOR}"
      -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${PREFIX})
  run(${CMAKE_COMMAND} --build "${WORK}/build")
  run("${WORK}/build/consumer" "${WORK}")
  message(STATUS "${run_output}")

elseif(STEP STREQUAL "pkgconfig")
  file(REMOVE_RECURSE "${WORK}")
  file(MAKE_DIRECTORY "${WORK}")
  set(ENV{PKG_CONFIG_PATH} "${PREFIX}/${LIBDIR}/pkgconfig")
  run("${PKG_CONFIG}" --modversion quendril-imgresize)
  message(STATUS "pkg-config finds version ${run_output}")
  run("${PKG_CONFIG}" --cflags --libs quendril-imgresize)
  string(STRIP "${run_output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  run("${PKG_CONFIG}" --variable=libdir quendril-imgresize)
  string(STRIP "${run_output}" libdir)
  run("${C_COMPILER}" "${SOURCE}/consumer.c" -o "${WORK}/consumer" ${flags}
      "-Wl,-rpath,${libdir}")
  run("${WORK}/consumer" "${WORK}")
  message(STATUS "${run_output}")

else()
  message(FATAL_ERROR "STEP must be install, cmake or pkgconfig")
endif()
