# The RAMDOS image, built from msx/ramdos/: the resident kernel is assembled
# for its place in page 3 and carried inside the disk system; the disk
# system, COMMAND.COM, MSXDOS.SYS and K7.COM are packed by the project's own
# packer; the start-up program carries them and becomes asset_ramdos.
#
# Also the static library ramdos_items, for the tests: every item unpacked
# (ramdos_kernel, ramdos_disksys, ramdos_command, ramdos_msxdos, ramdos_k7)
# and the symbol files of the kernel, the start-up and K7 (ramdos_kernel_sym,
# ramdos_startup_sym, ramdos_k7_sym: pasmo's "name EQU 0XXXXH" lines).
set(RAMDOS_SRC ${PROJECT_SOURCE_DIR}/msx/ramdos)
set(RAMDOS_OUT ${CMAKE_CURRENT_BINARY_DIR}/ramdos)
file(MAKE_DIRECTORY ${RAMDOS_OUT})
file(GLOB ramdos_sources CONFIGURE_DEPENDS ${RAMDOS_SRC}/*.asm ${RAMDOS_SRC}/*.inc)

# ramdos_assemble(<name> <source> [SYMBOLS <sym>] [PUBLIC] [DEPENDS ...])
function(ramdos_assemble name src)
  cmake_parse_arguments(ARG "PUBLIC" "SYMBOLS" "DEPENDS" ${ARGN})
  set(options --bin)
  if(ARG_PUBLIC)
    list(APPEND options --public)
  endif()
  add_custom_command(
    OUTPUT ${RAMDOS_OUT}/${name} ${ARG_SYMBOLS}
    COMMAND ${PASMO_EXECUTABLE} ${options} -I ${RAMDOS_SRC} -I ${PROJECT_SOURCE_DIR}/msx -I ${RAMDOS_OUT} -I ${CASSONIC_Z80_INCLUDE}
            -I ${CASSONIC_Z80_GENERATED}
            ${RAMDOS_SRC}/${src} ${RAMDOS_OUT}/${name} ${ARG_SYMBOLS}
    DEPENDS ${ramdos_sources} ${CASSONIC_Z80_INCLUDES} ${PROJECT_SOURCE_DIR}/msx/rnc2_decode.asm ${ARG_DEPENDS}
    WORKING_DIRECTORY ${RAMDOS_OUT}
    COMMENT "Assembling ${src} into ${name}"
    VERBATIM)
endfunction()

# The kernel twice: its public entries for the disk system to include, and
# every symbol for the tests.
ramdos_assemble(kernel.bin kernel.asm PUBLIC SYMBOLS ${RAMDOS_OUT}/kernel.sym)
ramdos_assemble(kernel_all.bin kernel.asm SYMBOLS ${RAMDOS_OUT}/kernel_all.sym)
ramdos_assemble(disksys.bin disksys.asm SYMBOLS ${RAMDOS_OUT}/disksys.sym
                DEPENDS ${RAMDOS_OUT}/kernel.bin ${RAMDOS_OUT}/kernel.sym)
ramdos_assemble(command.bin command.asm)
ramdos_assemble(msxdos_sys.bin msxdos_sys.asm)
# K7's turbo part, with the uniform turbo code's decode table written at
# build time; K7.COM carries it.
add_custom_command(
  OUTPUT ${RAMDOS_OUT}/turbo_code.inc
  COMMAND turbo_table ${RAMDOS_OUT}/turbo_code.inc
  DEPENDS turbo_table
  COMMENT "Writing the turbo code's decode table for K7"
  VERBATIM)
ramdos_assemble(k7_turbo.bin k7_turbo.asm SYMBOLS ${RAMDOS_OUT}/k7_turbo.sym
                DEPENDS ${RAMDOS_OUT}/turbo_code.inc)
ramdos_assemble(k7.bin k7.asm SYMBOLS ${RAMDOS_OUT}/k7.sym DEPENDS ${RAMDOS_OUT}/k7_turbo.bin)

set(ramdos_packed)
foreach(item disksys command msxdos_sys k7)
  z80_pack(${RAMDOS_OUT}/${item}.rnc ${RAMDOS_OUT}/${item}.bin)
  list(APPEND ramdos_packed ${RAMDOS_OUT}/${item}.rnc)
endforeach()

ramdos_assemble(ramdos.bin startup.asm SYMBOLS ${RAMDOS_OUT}/startup.sym DEPENDS ${ramdos_packed})

set(ramdos_item_sources)
foreach(pair kernel:kernel.bin disksys:disksys.bin command:command.bin msxdos:msxdos_sys.bin k7:k7.bin
             kernel_sym:kernel_all.sym startup_sym:startup.sym k7_sym:k7.sym)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 symbol)
  list(GET pair 1 file)
  z80_embed(${RAMDOS_OUT}/${symbol}_item.cpp ${RAMDOS_OUT}/${file} ramdos_${symbol})
  list(APPEND ramdos_item_sources ${RAMDOS_OUT}/${symbol}_item.cpp)
endforeach()
add_library(ramdos_items STATIC ${ramdos_item_sources})
target_include_directories(ramdos_items PUBLIC ${CASSONIC_EMBEDDED_DIR})

z80_embed(${CMAKE_CURRENT_BINARY_DIR}/ramdos_image.cpp ${RAMDOS_OUT}/ramdos.bin asset_ramdos)
