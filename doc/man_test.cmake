# cmake "-DPAGES=<page.1;...>" -DTAPECAST=<tapecast> -P man_test.cmake
# Renders each manual page with groff, all warnings on, for the default device
# and for a terminal; any warning fails.  Then checks that tapecast's page
# names every option that tapecast's usage text lists.
find_program(GROFF groff)
if(NOT GROFF)
  message("groff is not installed: the manual pages were not rendered")
  return()
endif()

set(faults "")
foreach(page ${PAGES})
  foreach(device "" -Tutf8)
    execute_process(COMMAND ${GROFF} -man -ww -z ${device} ${page}
      RESULT_VARIABLE status ERROR_VARIABLE warnings)
    if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
      string(APPEND faults "\n  groff -man -ww -z ${device} ${page} (status ${status}):\n${warnings}")
    endif()
  endforeach()
  file(READ ${page} text)
  if(text MATCHES "@[A-Z_]+@")
    string(APPEND faults "\n  ${page}: ${CMAKE_MATCH_0} was not filled in")
  endif()
endforeach()

list(FILTER PAGES INCLUDE REGEX "/tapecast\\.1$")
execute_process(COMMAND ${TAPECAST} -h OUTPUT_VARIABLE usage RESULT_VARIABLE status)
# Options stand after a blank, "[" or "|"; brackets would upset CMake's lists.
string(REGEX REPLACE "[][|]" " " usage "${usage}")
string(REGEX MATCHALL " -[a-z]+" options "${usage}")
list(REMOVE_DUPLICATES options)
if(NOT status EQUAL 0 OR NOT options)
  string(APPEND faults "\n  tapecast -h gave status ${status} and no options")
endif()
file(READ ${PAGES} page)
string(REPLACE "\\-" "-" page "${page}")
foreach(option ${options})
  string(SUBSTRING "${option}" 1 -1 option)
  if(NOT page MATCHES "\n\\.BI? ${option}[ \n]")
    string(APPEND faults "\n  tapecast.1 has no entry for ${option}")
  endif()
endforeach()

if(faults)
  message(FATAL_ERROR "Manual pages:${faults}")
endif()
