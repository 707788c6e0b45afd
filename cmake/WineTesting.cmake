# Runs the cross-built Windows test programs under Wine and builds GoogleTest
# for the target from Debian's googletest source package.
#
# Every program runs through CMAKE_CROSSCOMPILING_EMULATOR: wine64 with a Wine
# prefix of its own inside the build tree (booted once, here), Wine's debug
# output off, no display and no Mono or Gecko installers, so runs are quiet
# and repeatable.

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  # Debian keeps the 64-bit loader out of PATH; /usr/bin/wine only wraps it.
  find_program(IMGRESIZE_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine
               DOC "Wine loader for 64-bit Windows programs")
  if(NOT IMGRESIZE_WINE)
    message(FATAL_ERROR "Wine not found (Debian: apt-get install wine wine64); "
                        "set CMAKE_CROSSCOMPILING_EMULATOR or -DIMGRESIZE_BUILD_TESTS=OFF")
  endif()
  get_filename_component(_wine_dir "${IMGRESIZE_WINE}" DIRECTORY)
  find_program(IMGRESIZE_WINESERVER NAMES wineserver64 wineserver HINTS "${_wine_dir}"
               PATHS /usr/lib/wine /usr/lib64/wine)

  set(IMGRESIZE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
  set(_wine_env ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
      "WINEPREFIX=${IMGRESIZE_WINEPREFIX}" WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${_wine_env} "${IMGRESIZE_WINE}")

  if(NOT EXISTS "${IMGRESIZE_WINEPREFIX}/system.reg")
    message(STATUS "Creating the Wine prefix ${IMGRESIZE_WINEPREFIX}")
    execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot --init
                    RESULT_VARIABLE _wine_result OUTPUT_QUIET ERROR_QUIET TIMEOUT 600)
    if(IMGRESIZE_WINESERVER)
      # The registry reaches the prefix when the server stops.
      execute_process(COMMAND ${_wine_env} "${IMGRESIZE_WINESERVER}" --wait TIMEOUT 120)
    endif()
    if(NOT _wine_result EQUAL 0 OR NOT EXISTS "${IMGRESIZE_WINEPREFIX}/system.reg")
      message(FATAL_ERROR "wineboot could not create ${IMGRESIZE_WINEPREFIX} (${_wine_result})")
    endif()
  endif()
endif()

# Test discovery runs the test programs (under the emulator) when CTest
# starts, not as a build step.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# GoogleTest compiled by the cross compiler, linked statically into each test.
set(IMGRESIZE_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources to build for the target (Debian: googletest)")
if(NOT EXISTS "${IMGRESIZE_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR "No GoogleTest sources in ${IMGRESIZE_GOOGLETEST_SOURCE_DIR} "
                      "(Debian: apt-get install googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(BUILD_SHARED_LIBS OFF)
add_subdirectory("${IMGRESIZE_GOOGLETEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/_deps/googletest"
                 EXCLUDE_FROM_ALL SYSTEM)
# GCC 12's libstdc++ for the win32 thread model lacks std::mutex and
# std::condition_variable, on which GoogleTest builds its Notification; it
# gets one from outside instead, in GoogleTest and in every test program.
target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
target_compile_options(gtest PUBLIC
  "SHELL:-include \"${PROJECT_SOURCE_DIR}/tests/gtest_win32_notification.h\"")
