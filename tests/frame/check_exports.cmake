# Fails unless the module's defined dynamic symbols are exactly the two entry names.
execute_process(COMMAND ${NM} -D --defined-only --just-symbols ${MODULE}
  OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[^\n]+" names "${listing}")
list(SORT names)
if(NOT names STREQUAL "VSTPluginMain;main_macho")
  message(FATAL_ERROR "module exports [${names}], expected only VSTPluginMain and main_macho")
endif()
