# Qtractor's scanner reads "TYPE:PATH" lines and prints one "TYPE|name|ins:outs|...|params:..."
# line per plug-in it could load.
set(scanner /usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan)
if(NOT EXISTS ${scanner})
  message(FATAL_ERROR "${scanner} is missing: install qtractor (scripts/install-deps.sh --for-tests)")
endif()
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/qtractor_scan.in "CLAP:${CLAP}\nVST:${VST}\n")
execute_process(COMMAND ${scanner} INPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/qtractor_scan.in
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors TIMEOUT 120)
foreach(expected "CLAP|Vellicor|2:2|0:0|1:0|" "VST|Vellicor|2:2|0:0|1:0|")
  string(FIND "${listing}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "scanner did not list ${expected}\nlisting:\n${listing}\nerrors:\n${errors}")
  endif()
endforeach()
