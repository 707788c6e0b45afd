# Builds the README's C# declarations with a test program and runs it, so the
# P/Invoke text that adopters copy is known to work.
#   cmake -DREADME=<README.md> -DPROGRAM=<Program.cs> -DWORK=<dir> -DMCS=<mcs>
#         -DMONO=<mono> -DLIBRARY_DIR=<dir of the library> -P readme_csharp.cmake
file(READ "${README}" readme)
# The first ```csharp block is the declaration class.
string(FIND "${readme}" "```csharp\n" start)
if(start LESS 0)
  message(FATAL_ERROR "README.md has no csharp block")
endif()
math(EXPR start "${start} + 10")
string(SUBSTRING "${readme}" ${start} -1 rest)
string(FIND "${rest}" "```" end)
string(SUBSTRING "${rest}" 0 ${end} declarations)
if(NOT declarations MATCHES "class ImgResize")
  message(FATAL_ERROR "the first csharp block of README.md is not the ImgResize class")
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
