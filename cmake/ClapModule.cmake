# add_clap_module(target SOURCES... LIBRARIES...): a loadable CLAP module named
# Vellicor.clap that exports only clap_entry.
set(CLAP_MODULE_EXPORTS "${CMAKE_CURRENT_LIST_DIR}/clap-exports.map")

function(add_clap_module target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_library(${target} MODULE ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME Vellicor
    PREFIX ""
    SUFFIX ".clap"
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(WIN32)
    # No time stamp, so that two builds give the same bytes.
    target_link_options(${target} PRIVATE "LINKER:--no-insert-timestamp")
  else()
    set_target_properties(${target} PROPERTIES LINK_DEPENDS "${CLAP_MODULE_EXPORTS}")
    target_link_options(${target} PRIVATE
      "LINKER:--version-script=${CLAP_MODULE_EXPORTS}" "LINKER:--no-undefined")
  endif()
endfunction()
