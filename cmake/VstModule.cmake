# add_vst_module(target SOURCES... LIBRARIES...): a loadable VST 2.4 module named
# target.so or target.dll (no lib prefix) that exports only the entry and its second name.
set(VST_MODULE_EXPORTS "${CMAKE_CURRENT_LIST_DIR}/vst-exports.map")

function(add_vst_module target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_library(${target} MODULE ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/frame/vstplugmain.cpp)
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} vellicor_frame)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(WIN32)
    # No time stamp, so that two builds give the same bytes.
    target_link_options(${target} PRIVATE "LINKER:--no-insert-timestamp")
  else()
    set_target_properties(${target} PROPERTIES LINK_DEPENDS "${VST_MODULE_EXPORTS}")
    target_link_options(${target} PRIVATE
      "LINKER:--version-script=${VST_MODULE_EXPORTS}" "LINKER:--no-undefined")
  endif()
endfunction()
