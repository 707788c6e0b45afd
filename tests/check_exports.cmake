# Fails unless the shared library's dynamic symbol table defines exactly the
# library's public functions.
#   cmake -DLIBRARY=<path> -DNM=<nm> -DEXPECTED=<file> -P check_exports.cmake
file(STRINGS "${EXPECTED}" expected REGEX "^imgresize_")
list(SORT expected)

execute_process(COMMAND "${NM}" -D --defined-only "${LIBRARY}"
                OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} -D --defined-only ${LIBRARY} failed")
endif()

string(REPLACE "\n" ";" lines "${listing}")
set(exported "")
foreach(line IN LISTS lines)
  # "<address> <type> <name>"; keep the name.
  if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] (.+)$")
    list(APPEND exported "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(SORT exported)

if(NOT exported STREQUAL expected)
  set(unexpected ${exported})
  list(REMOVE_ITEM unexpected ${expected})
  set(missing ${expected})
  list(REMOVE_ITEM missing ${exported})
  message(FATAL_ERROR "exported symbols differ from the public interface\n"
                      "  unexpected: ${unexpected}\n  missing: ${missing}")
endif()
list(LENGTH exported count)
message(STATUS "${count} exported functions, all public: ${exported}")
