# add_plugin_module(target EXPORTS map SOURCES... LIBRARIES...): a loadable module named
# target.so or target.dll (no lib prefix) whose exported symbols are the version script's
# alone.
function(add_plugin_module target)
  cmake_parse_arguments(ARG "" "EXPORTS" "SOURCES;LIBRARIES" ${ARGN})
  add_library(${target} MODULE ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES})
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(WIN32)
    # No time stamp, so that two builds give the same bytes.
    target_link_options(${target} PRIVATE "LINKER:--no-insert-timestamp")
  else()
    set_target_properties(${target} PROPERTIES LINK_DEPENDS "${ARG_EXPORTS}")
    target_link_options(${target} PRIVATE
      "LINKER:--version-script=${ARG_EXPORTS}" "LINKER:--no-undefined")
  endif()
endfunction()

# add_vst_module(target SOURCES... LIBRARIES...): a VST 2.4 module that exports only the
# entry and its second name.
function(add_vst_module target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_plugin_module(${target} EXPORTS "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/vst-exports.map"
    SOURCES ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/frame/vstplugmain.cpp
    LIBRARIES ${ARG_LIBRARIES} vellicor_frame)
endfunction()

# add_clap_module(target SOURCES... LIBRARIES...): a CLAP module named Vellicor.clap that
# exports only clap_entry.
function(add_clap_module target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_plugin_module(${target} EXPORTS "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/clap-exports.map"
    SOURCES ${ARG_SOURCES} LIBRARIES ${ARG_LIBRARIES})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME Vellicor SUFFIX ".clap")
endfunction()
