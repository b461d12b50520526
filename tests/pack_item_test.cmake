# Runs pack_item on text that shrinks and then on its packed form, which
# can't shrink again: both must come out as method-2 data ("RNC", method 2),
# and a missing input must be refused without leaving an output behind.
file(MAKE_DIRECTORY ${WORK})
string(REPEAT "MSX tape " 400 repeated)
file(WRITE ${WORK}/text.txt "${repeated}")

function(pack in out)
  file(REMOVE ${out})
  execute_process(COMMAND ${PACK_ITEM} ${in} ${out} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "pack_item failed on ${in}")
  endif()
  file(READ ${out} header LIMIT 4 HEX)
  if(NOT header STREQUAL "524e4302")
    message(FATAL_ERROR "${out} is not method-2 data: ${header}")
  endif()
endfunction()

pack(${WORK}/text.txt ${WORK}/once.pak)
pack(${WORK}/once.pak ${WORK}/twice.pak)
file(SIZE ${WORK}/text.txt text_size)
file(SIZE ${WORK}/once.pak once_size)
file(SIZE ${WORK}/twice.pak twice_size)
if(NOT once_size LESS 200 OR NOT twice_size GREATER once_size)
  message(FATAL_ERROR "unexpected sizes: ${text_size} -> ${once_size} -> ${twice_size}")
endif()

file(REMOVE ${WORK}/missing.pak)
execute_process(COMMAND ${PACK_ITEM} ${WORK}/missing.txt ${WORK}/missing.pak RESULT_VARIABLE status ERROR_QUIET)
if(status EQUAL 0 OR EXISTS ${WORK}/missing.pak)
  message(FATAL_ERROR "a missing input was not refused")
endif()
