# cmake -DENCODER=<encoder source folder> -P layers_test.cmake
# Fails when a source of the encoder includes a header from a layer above its
# own (or from a sibling at its level): the layers build on each other one
# way only.  Tests beside the sources may include anything.
set(rank_assets 0)
set(rank_codec 0)
set(rank_common 1)
set(rank_signal 2)
set(rank_convert 3)
set(rank_driver 4)
set(rank_tools 4)

file(GLOB_RECURSE sources RELATIVE ${ENCODER} ${ENCODER}/*.cpp ${ENCODER}/*.h)
list(FILTER sources EXCLUDE REGEX "_test\\.cpp$")
set(faults "")
foreach(source ${sources})
  string(REGEX MATCH "^[a-z]+" layer ${source})
  file(STRINGS ${ENCODER}/${source} includes REGEX "^#include \"[a-z]+/")
  foreach(line ${includes})
    string(REGEX REPLACE "^#include \"([a-z]+)/.*" "\\1" used "${line}")
    if(NOT used STREQUAL layer AND NOT rank_${used} LESS rank_${layer})
      string(APPEND faults "\n  ${source}: ${line}")
    endif()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "Includes against the direction of the layers:${faults}")
endif()
