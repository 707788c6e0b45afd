# Fails unless a Windows DLL's export table holds exactly the library's public
# functions under their plain names, and its import table names no DLL but
# KERNEL32 and the C runtime.
#   cmake -DLIBRARY=<dll> -DOBJDUMP=<objdump> -DEXPECTED=<file>
#         -DALLOWED_IMPORTS=<regex> -P check_pe_exports.cmake
file(STRINGS "${EXPECTED}" expected REGEX "^imgresize_")
list(SORT expected)

execute_process(COMMAND "${OBJDUMP}" -p "${LIBRARY}"
                OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${LIBRARY} failed")
endif()

# The export names follow "[Ordinal/Name Pointer] Table" as "[   3] name";
# the imports are the "DLL Name: X" lines.
string(REPLACE "\n" ";" lines "${listing}")
set(exported "")
set(imported "")
set(in_names FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(in_names TRUE)
  elseif(in_names AND line MATCHES "^[ \t]+\\[ *[0-9]+\\] (.+)$")
    list(APPEND exported "${CMAKE_MATCH_1}")
  elseif(in_names)
    set(in_names FALSE)
  endif()
  if(line MATCHES "^[ \t]*DLL Name: (.+)$")
    list(APPEND imported "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(SORT exported)

set(problems "")
if(NOT exported STREQUAL expected)
  set(unexpected ${exported})
  list(REMOVE_ITEM unexpected ${expected})
  set(missing ${expected})
  list(REMOVE_ITEM missing ${exported})
  string(APPEND problems "exports differ from the public interface\n"
                         "  unexpected: ${unexpected}\n  missing: ${missing}\n")
endif()
set(foreign "")
foreach(dll IN LISTS imported)
  string(TOLOWER "${dll}" lower)
  if(NOT lower STREQUAL "kernel32.dll" AND NOT lower MATCHES "^(${ALLOWED_IMPORTS})$")
    list(APPEND foreign "${dll}")
  endif()
endforeach()
if(foreign)
  string(APPEND problems "imports DLLs beyond KERNEL32 and the C runtime: ${foreign}\n")
endif()
if(NOT imported)
  string(APPEND problems "no import table found in the objdump listing\n")
endif()
if(problems)
  message(FATAL_ERROR "${LIBRARY}:\n${problems}")
endif()

list(LENGTH exported count)
message(STATUS "${count} exports: ${exported}")
message(STATUS "imports: ${imported}")
