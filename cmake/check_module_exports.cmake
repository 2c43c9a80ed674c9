# Fails unless the module's exported symbols are exactly EXPECTED (names separated by
# commas) and,
# for a DLL, every DLL it imports is one of Windows' own.
if(MODULE MATCHES "\\.dll$")
  execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
  # The export table lists "[ordinal] name" lines after "[Ordinal/Name Pointer] Table".
  string(REGEX REPLACE ".*\\[Ordinal/Name Pointer\\] Table\n" "" table "${dump}")
  string(REGEX REPLACE "\n\n.*" "" table "${table}")
  string(REGEX MATCHALL "\\] [^\n]+" entries "${table}")
  string(REPLACE "] " "" names "${entries}")
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  foreach(import IN LISTS imports)
    string(REPLACE "DLL Name: " "" dll "${import}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll MATCHES "^(kernel32|msvcrt|advapi32|user32|ucrtbase|api-ms-win-.*)\\.dll$")
      message(FATAL_ERROR "module imports ${dll}, which is not one of Windows' own DLLs")
    endif()
  endforeach()
else()
  execute_process(COMMAND ${NM} -D --defined-only --just-symbols ${MODULE}
    OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "[^\n]+" names "${listing}")
endif()
list(SORT names)
string(REPLACE "," ";" EXPECTED "${EXPECTED}")
list(SORT EXPECTED)
if(NOT names STREQUAL EXPECTED)
  message(FATAL_ERROR "module exports [${names}], expected only [${EXPECTED}]")
endif()
