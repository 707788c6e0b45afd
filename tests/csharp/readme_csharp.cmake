# Builds the README's C# declarations with a test program and runs it, so the
# P/Invoke text that adopters copy is known to work.
#   cmake -DREADME=<README.md> -DPROGRAM=<Program.cs> -DWORK=<dir> -DMCS=<mcs>
#         -DMONO=<mono> -DLIBRARY_DIR=<dir of the library> -P readme_csharp.cmake
cmake_minimum_required(VERSION 3.20)

file(READ "${README}" readme)
# The csharp block that declares all eleven functions; README.md may hold
# shorter C# snippets as well.
set(names imgresize_init imgresize_cleanup imgresize_set_quality imgresize_set_filter
          imgresize_last_error imgresize_exact imgresize_fit imgresize_percent
          imgresize_thumbnail imgresize_batch imgresize_info)
set(declarations "")
set(rest "${readme}")
while(TRUE)
  string(FIND "${rest}" "```csharp\n" start)
  if(start LESS 0)
    break()
  endif()
  math(EXPR start "${start} + 10")
  string(SUBSTRING "${rest}" ${start} -1 rest)
  string(FIND "${rest}" "```" end)
  string(SUBSTRING "${rest}" 0 ${end} block)
  string(SUBSTRING "${rest}" ${end} -1 rest)
  set(complete TRUE)
  foreach(name IN LISTS names)
    if(NOT block MATCHES "extern [A-Za-z]+ ${name}\\(")
      set(complete FALSE)
    endif()
  endforeach()
  if(complete)
    set(declarations "${block}")
    break()
  endif()
endwhile()
if(declarations STREQUAL "")
  message(FATAL_ERROR "README.md has no csharp block declaring all eleven functions")
endif()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/ImgResize.cs" "${declarations}")
execute_process(COMMAND "${MCS}" -nologo -out:${WORK}/program.exe "${WORK}/ImgResize.cs" "${PROGRAM}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "mcs failed:\n${output}")
endif()
set(ENV{LD_LIBRARY_PATH} "${LIBRARY_DIR}")
execute_process(COMMAND "${MONO}" "${WORK}/program.exe" "${WORK}/images"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the C# program failed")
endif()
