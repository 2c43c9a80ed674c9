# Fails unless the Linux binary asks for no glibc symbol version above 2.17 and for no
# C++ runtime version at all, so that it loads on every distribution from glibc 2.17 on.
# Reads the version needs the way auditwheel does: the symbols objdump -T lists with a
# GLIBC_, GLIBCXX_ or CXXABI_ version.
execute_process(COMMAND ${OBJDUMP} -T ${BINARY} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[^\n]+" lines "${dump}")
set(over "")
foreach(line IN LISTS lines)
  if(line MATCHES "\\(?((GLIBCXX|CXXABI)_[0-9.]+)\\)? +([^ ]+)$")
    list(APPEND over "${CMAKE_MATCH_3} (${CMAKE_MATCH_1})")
  elseif(line MATCHES "\\(?GLIBC_([0-9]+)\\.([0-9]+)[0-9.]*\\)? +([^ ]+)$")
    if(CMAKE_MATCH_1 GREATER 2 OR (CMAKE_MATCH_1 EQUAL 2 AND CMAKE_MATCH_2 GREATER 17))
      list(APPEND over "${CMAKE_MATCH_3} (GLIBC_${CMAKE_MATCH_1}.${CMAKE_MATCH_2})")
    endif()
  endif()
endforeach()
if(over)
  list(JOIN over ", " over)
  message(FATAL_ERROR "${BINARY} asks for more than glibc 2.17 without a C++ runtime: ${over}")
endif()
