# cmake -DBUILD=<build dir> -DWORK=<scratch dir> -DVERSION=<project version>
#       -DFRONTEND=ON|OFF -DENCODER_COMPONENT=<name> -DFRONTEND_COMPONENT=<name>
#       -DBINDIR=<rel> -DDATADIR=<rel> -DMANDIR=<rel> -P install_test.cmake
# Installs the built tree into a scratch DESTDIR under the prefix /usr and
# checks what a user's system gets: the programs and their manual pages, the
# front-end's desktop entry, metainfo and icon, and the encoder in the folder
# where the installed front-end looks for it first (beside itself).
set(faults "")
macro(fault text)
  string(APPEND faults "\n  ${text}")
endmacro()

function(install_into destdir)
  set(ENV{DESTDIR} ${destdir})
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr ${ARGN}
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install ${ARGN} failed (${status}):\n${errors}")
  endif()
endfunction()

# Installed files relative to the prefix, sorted.
function(installed_files destdir out)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${destdir} ${destdir}/*)
  list(SORT files)
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# The parts that the packages hold, installed one after the other, are what
# a user's system gets; the whole installation is no more than those.
set(root ${WORK}/parts/usr)
set(parts ${ENCODER_COMPONENT})
if(FRONTEND)
  list(APPEND parts ${FRONTEND_COMPONENT})
endif()
file(REMOVE_RECURSE ${WORK})
foreach(part ${parts})
  install_into(${WORK}/parts --component ${part})
endforeach()
installed_files(${WORK}/parts in_parts)
install_into(${WORK}/all)
installed_files(${WORK}/all everything)
if(NOT everything STREQUAL in_parts)
  fault("the installation holds more than its parts '${parts}':\n    ${everything}\n  against\n    ${in_parts}")
endif()
foreach(file ${everything})
  if(NOT file MATCHES "^usr/")
    fault("${file} lies outside the prefix")
  endif()
endforeach()

# The encoder and its page.
set(tapecast ${root}/${BINDIR}/tapecast)
if(NOT EXISTS ${tapecast} OR IS_DIRECTORY ${tapecast})
  fault("no ${BINDIR}/tapecast")
else()
  execute_process(COMMAND ${tapecast} --version OUTPUT_VARIABLE said RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT said MATCHES "^tapecast \\(Cassonic\\) ${VERSION}\n")
    fault("installed tapecast --version gave status ${status}: ${said}")
  endif()
endif()
set(pages tapecast)

if(FRONTEND)
  list(APPEND pages CassonicRunner)
  set(runner ${root}/${BINDIR}/CassonicRunner)
  if(NOT EXISTS ${runner})
    fault("no ${BINDIR}/CassonicRunner")
  else()
    # The front-end tries the folder of its own program first.
    get_filename_component(runner_dir ${runner} DIRECTORY)
    if(NOT EXISTS ${runner_dir}/tapecast)
      fault("the installed front-end finds no tapecast beside itself in ${runner_dir}")
    endif()
  endif()

  # The desktop entry starts an installed program and shows an installed icon.
  file(GLOB entries ${root}/${DATADIR}/applications/*.desktop)
  list(LENGTH entries count)
  if(NOT count EQUAL 1)
    fault("${count} desktop entries in ${DATADIR}/applications, one expected")
  else()
    get_filename_component(entry_name ${entries} NAME)
    file(STRINGS ${entries} exec REGEX "^Exec=")
    string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" exec "${exec}")
    if(NOT exec OR NOT EXISTS ${root}/${BINDIR}/${exec})
      fault("the desktop entry starts '${exec}', which is not installed in ${BINDIR}")
    endif()
    file(STRINGS ${entries} icon REGEX "^Icon=")
    string(REGEX REPLACE "^Icon=" "" icon "${icon}")
    file(GLOB icons ${root}/${DATADIR}/icons/hicolor/*/apps/${icon}.*)
    if(NOT icon OR NOT icons)
      fault("the desktop entry's icon '${icon}' is not installed in the hicolor theme")
    endif()
  endif()

  # The metainfo names the installed desktop entry and program.
  file(GLOB metainfo ${root}/${DATADIR}/metainfo/*.xml)
  if(NOT metainfo)
    fault("no metainfo in ${DATADIR}/metainfo")
  else()
    file(READ ${metainfo} text)
    string(REGEX MATCH "<launchable type=\"desktop-id\">([^<]+)</launchable>" found "${text}")
    if(NOT found OR NOT CMAKE_MATCH_1 STREQUAL entry_name)
      fault("the metainfo launches '${CMAKE_MATCH_1}', the desktop entry is '${entry_name}'")
    endif()
    string(REGEX MATCH "<binary>([^<]+)</binary>" found "${text}")
    if(found AND NOT EXISTS ${root}/${BINDIR}/${CMAKE_MATCH_1})
      fault("the metainfo provides '${CMAKE_MATCH_1}', which is not installed")
    endif()
  endif()
endif()

foreach(page ${pages})
  if(NOT EXISTS ${root}/${MANDIR}/man1/${page}.1.gz)
    fault("no ${MANDIR}/man1/${page}.1.gz")
  endif()
endforeach()

# The encoder's part alone, as its package gets it: the program and its page.
install_into(${WORK}/encoder --component ${ENCODER_COMPONENT})
installed_files(${WORK}/encoder encoder_files)
set(expected usr/${BINDIR}/tapecast usr/${MANDIR}/man1/tapecast.1.gz)
list(SORT expected)
if(NOT encoder_files STREQUAL expected)
  fault("the encoder's part installs '${encoder_files}', not '${expected}'")
endif()

if(faults)
  message(FATAL_ERROR "Installation:${faults}")
endif()
file(REMOVE_RECURSE ${WORK})
