# Instrumented builds. Both options add their flags to every target of the
# build, so the library, the tests and the tools are checked alike.
#
#   IMGRESIZE_SANITIZE      AddressSanitizer and UndefinedBehaviorSanitizer
#                           (GCC); the `asan` preset.
#   IMGRESIZE_BUILD_FUZZER  the same plus libFuzzer's coverage instrumentation,
#                           and the fuzzer program fuzz/imgresize_fuzzer
#                           (Clang only); see fuzz/run-fuzzer.sh.
#
# UBSan findings stay recoverable at compile time so that the suppressions in
# fuzz/ubsan.supp can apply; UBSAN_OPTIONS=halt_on_error=1 (set by the presets
# and the fuzz script) still stops at the first unsuppressed one.
option(IMGRESIZE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(IMGRESIZE_BUILD_FUZZER "Build the libFuzzer program fuzz/imgresize_fuzzer (Clang)" OFF)

# Clang leaves the sanitizer runtimes out of shared libraries: the program
# that loads the library brings them, so the library keeps undefined
# references to them. GCC links its runtimes into the library.
set(IMGRESIZE_RUNTIME_FROM_HOST FALSE)

if(IMGRESIZE_SANITIZE OR IMGRESIZE_BUILD_FUZZER)
  if(WIN32)
    message(FATAL_ERROR "IMGRESIZE_SANITIZE and IMGRESIZE_BUILD_FUZZER are for Linux builds")
  endif()
  if(IMGRESIZE_SANITIZE AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # tests/CMakeLists.txt preloads GCC's shared runtimes into the Python,
    # Mono and consumer processes; Clang's are linked differently.
    message(FATAL_ERROR "IMGRESIZE_SANITIZE is for GCC builds")
  endif()
  set(_sanitizers -fsanitize=address,undefined -fno-omit-frame-pointer)
  if(IMGRESIZE_BUILD_FUZZER)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR NOT CMAKE_C_COMPILER_ID MATCHES "Clang")
      message(FATAL_ERROR "IMGRESIZE_BUILD_FUZZER needs Clang: configure with "
                          "-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ (or the fuzz preset)")
    endif()
    list(APPEND _sanitizers -fsanitize=fuzzer-no-link)
  endif()
  add_compile_options(${_sanitizers})
  add_link_options(-fsanitize=address,undefined)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(IMGRESIZE_RUNTIME_FROM_HOST TRUE)
  endif()
endif()
