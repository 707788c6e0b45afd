# Windows builds with mingw-w64: which C runtime the DLL uses, and a static
# GCC runtime, so that it imports nothing but system DLLs (KERNEL32 and the C
# runtime).
#
# IMGRESIZE_WINDOWS_CRT selects the DLL's C runtime:
#   ucrt    the Universal C Runtime (api-ms-win-crt-*.dll, part of Windows 10
#           and later, installable on 7 and 8.1), the default;
#   msvcrt  the old system msvcrt.dll.

set(IMGRESIZE_WINDOWS_CRT ucrt CACHE STRING "C runtime of the Windows DLL: ucrt or msvcrt")
set_property(CACHE IMGRESIZE_WINDOWS_CRT PROPERTY STRINGS ucrt msvcrt)

if(IMGRESIZE_WINDOWS_CRT STREQUAL "ucrt")
  # GCC before 13 has no -mcrtdll=ucrt: its built-in specs always link -lmsvcrt.
  # A copy of the compiler's specs with -lucrt in its place links against the
  # UCRT instead. mingw-w64's own support libraries call the runtime through
  # entry points that both runtimes provide, and libucrt supplies the few
  # msvcrt-style ones the startup code uses. _UCRT makes the headers declare
  # the UCRT's functions.
  execute_process(COMMAND ${CMAKE_C_COMPILER} -dumpspecs
                  OUTPUT_VARIABLE _mingw_specs RESULT_VARIABLE _mingw_specs_result)
  if(NOT _mingw_specs_result EQUAL 0 OR NOT _mingw_specs MATCHES "-lmsvcrt")
    message(FATAL_ERROR "${CMAKE_C_COMPILER} -dumpspecs gave no specs naming -lmsvcrt; "
                        "configure with -DIMGRESIZE_WINDOWS_CRT=msvcrt")
  endif()
  string(REPLACE "-lmsvcrt" "-lucrt" _mingw_specs "${_mingw_specs}")
  set(IMGRESIZE_UCRT_SPECS "${CMAKE_BINARY_DIR}/mingw-ucrt.specs")
  set(_mingw_old_specs "")
  if(EXISTS "${IMGRESIZE_UCRT_SPECS}")
    file(READ "${IMGRESIZE_UCRT_SPECS}" _mingw_old_specs)
  endif()
  if(NOT _mingw_old_specs STREQUAL _mingw_specs)
    file(WRITE "${IMGRESIZE_UCRT_SPECS}" "${_mingw_specs}")
  endif()
  set(IMGRESIZE_CRT_DEFINITIONS _UCRT)
  set(IMGRESIZE_CRT_LINK_OPTIONS "-specs=${IMGRESIZE_UCRT_SPECS}")
  # What the DLL may import besides KERNEL32 (checked by the test suite).
  set(IMGRESIZE_CRT_IMPORTS "api-ms-win-crt-[a-z]+-l1-1-0\\.dll")
elseif(IMGRESIZE_WINDOWS_CRT STREQUAL "msvcrt")
  # msvcrt.dll's own printf family predates C99 ("%zu", "%lld"); mingw-w64's
  # implementation is compiled in instead.
  set(IMGRESIZE_CRT_DEFINITIONS __USE_MINGW_ANSI_STDIO=1)
  set(IMGRESIZE_CRT_LINK_OPTIONS "")
  set(IMGRESIZE_CRT_IMPORTS "msvcrt\\.dll")
else()
  message(FATAL_ERROR "IMGRESIZE_WINDOWS_CRT must be ucrt or msvcrt, not '${IMGRESIZE_WINDOWS_CRT}'")
endif()

# The runtime applies to the DLL alone. The toolchain's libstdc++ was built
# for msvcrt and differs from the UCRT's headers in places (mbstate_t), so
# C++ programs that use more of the standard library than the DLL does (the
# tests) stay on msvcrt; the DLL's interface carries no runtime objects.
function(imgresize_use_windows_crt target)
  target_compile_definitions(${target} PRIVATE ${IMGRESIZE_CRT_DEFINITIONS})
  target_link_options(${target} PRIVATE ${IMGRESIZE_CRT_LINK_OPTIONS})
endfunction()

# libgcc and libstdc++ are linked in; -static keeps every other library of the
# toolchain out of the import table as well.
add_link_options(-static -static-libgcc -static-libstdc++)

# Programs find the DLLs they load in their own directory.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bin")
message(STATUS "C runtime of the DLL: ${IMGRESIZE_WINDOWS_CRT}")
