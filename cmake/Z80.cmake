# Z80 sources are assembled by pasmo at build time; the images are embedded
# into tapecast as byte arrays generated from the assembled binaries.
find_program(PASMO_EXECUTABLE pasmo REQUIRED)
set(CASSONIC_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed.cmake)

# The equate-only include files every Z80 program may use (BIOS entries,
# system variables, ports, DOS); a change to any of them assembles again.
set(CASSONIC_Z80_INCLUDE ${PROJECT_SOURCE_DIR}/msx/include)
file(GLOB CASSONIC_Z80_INCLUDES CONFIGURE_DEPENDS ${CASSONIC_Z80_INCLUDE}/*.inc)

# Includes generated from the project's settings: version.inc (the version
# the programs show).
set(CASSONIC_Z80_GENERATED ${PROJECT_BINARY_DIR}/msx/include)
configure_file(${CASSONIC_Z80_INCLUDE}/version.inc.in ${CASSONIC_Z80_GENERATED}/version.inc @ONLY)
list(APPEND CASSONIC_Z80_INCLUDES ${CASSONIC_Z80_GENERATED}/version.inc)

# z80_assemble(<output.bin> <source.asm> [SYMBOLS <file.sym>] [DEPENDS files...])
# Assembles a raw binary; includes are looked up beside the source, then in
# the build folder, msx/include and the generated includes.  SYMBOLS
# also writes pasmo's symbol table ("name EQU 0XXXXH" lines).
function(z80_assemble out src)
  cmake_parse_arguments(ARG "" "SYMBOLS" "DEPENDS" ${ARGN})
  get_filename_component(src_dir ${src} DIRECTORY)
  add_custom_command(
    OUTPUT ${out} ${ARG_SYMBOLS}
    COMMAND ${PASMO_EXECUTABLE} --bin -I ${src_dir} -I ${CMAKE_CURRENT_BINARY_DIR}
            -I ${CASSONIC_Z80_INCLUDE} -I ${CASSONIC_Z80_GENERATED} ${src} ${out} ${ARG_SYMBOLS}
    DEPENDS ${src} ${CASSONIC_Z80_INCLUDES} ${ARG_DEPENDS}
    WORKING_DIRECTORY ${src_dir}
    COMMENT "Assembling ${src}"
    VERBATIM)
endfunction()

# z80_embed(<output.cpp> <input.bin> <symbol>)
# Writes a C++ source that defines `const std::uint8_t <symbol>[]` and
# `const std::size_t <symbol>_size` holding the bytes of the binary, and the
# header that declares them: "<symbol>.h" in CASSONIC_EMBEDDED_DIR, which
# targets that use embedded programs add to their include directories.
set(CASSONIC_EMBEDDED_DIR ${PROJECT_BINARY_DIR}/embedded)
function(z80_embed out bin symbol)
  set(header ${CASSONIC_EMBEDDED_DIR}/${symbol}.h)
  add_custom_command(
    OUTPUT ${out} ${header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CASSONIC_EMBEDDED_DIR}
    COMMAND ${CMAKE_COMMAND} -DIN=${bin} -DOUT=${out} -DHEADER=${header} -DSYMBOL=${symbol}
            -P ${CASSONIC_EMBED_SCRIPT}
    DEPENDS ${bin} ${CASSONIC_EMBED_SCRIPT}
    COMMENT "Embedding ${symbol}"
    VERBATIM)
endfunction()

# z80_symbols(<header.h> <file.sym> <prefix> NAMES name...)
# Writes the values of the named symbols as `inline constexpr std::uint16_t
# <prefix>_<name>` into a header in CASSONIC_EMBEDDED_DIR, for code that
# must know where an embedded program puts things.
set(CASSONIC_SYMBOLS_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/symbols.cmake)
function(z80_symbols header sym prefix)
  cmake_parse_arguments(ARG "" "" "NAMES" ${ARGN})
  string(REPLACE ";" "," names "${ARG_NAMES}")
  add_custom_command(
    OUTPUT ${CASSONIC_EMBEDDED_DIR}/${header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CASSONIC_EMBEDDED_DIR}
    COMMAND ${CMAKE_COMMAND} -DIN=${sym} -DOUT=${CASSONIC_EMBEDDED_DIR}/${header} -DPREFIX=${prefix}
            -DNAMES=${names} -P ${CASSONIC_SYMBOLS_SCRIPT}
    DEPENDS ${sym} ${CASSONIC_SYMBOLS_SCRIPT}
    COMMENT "Symbols of ${sym}"
    VERBATIM)
endfunction()

# z80_pack(<output> <input>)
# Packs a binary into method-2 data with the project's own packer, always
# packed (never stored), for programs that decode what they carry.
function(z80_pack out in)
  add_custom_command(
    OUTPUT ${out}
    COMMAND pack_item ${in} ${out}
    DEPENDS ${in} pack_item
    COMMENT "Packing ${in}"
    VERBATIM)
endfunction()
