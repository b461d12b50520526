# Debian packages with CPack: `cpack -G DEB` in the build folder makes one
# package per installed part:
#   tapecast  the encoder and its manual page; no dependencies (it is linked
#             statically);
#   cassonic  the desktop front-end, its desktop entry, metainfo, icons and
#             manual page; depends on tapecast of the same version and on the
#             libraries dpkg-shlibdeps finds it linked against.
# dpkg-shlibdeps comes with dpkg-dev; CPack also needs the `file` program.
set(CPACK_PACKAGE_NAME cassonic)
set(CPACK_PACKAGE_VENDOR "Cassonic")
if(NOT CPACK_PACKAGE_CONTACT)
  set(CPACK_PACKAGE_CONTACT "Cassonic developers")
endif()
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description begins with its own summary line; a common
# summary would be put in front of both.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)

set(CPACK_COMPONENTS_ALL ${CASSONIC_ENCODER_COMPONENT})
string(TOUPPER ${CASSONIC_ENCODER_COMPONENT} encoder)
set(CPACK_DEBIAN_${encoder}_PACKAGE_NAME tapecast)
set(CPACK_COMPONENT_${encoder}_DESCRIPTION
  "MSX programs to WAV files that an MSX loads from tape (encoder)
tapecast turns MSX cartridge ROM images (up to 48K), BIN files, tokenized
BASIC programs and MSX-DOS COM programs into one WAV file which, played into
an MSX's cassette port, loads the files one after another and starts them:
in the MSX's standard tape format, in two fast formats read by a loader it
puts on the tape, or as MSX-DOS programs behind a RAM-disk DOS.")

if(CASSONIC_FRONTEND)
  list(APPEND CPACK_COMPONENTS_ALL ${CASSONIC_FRONTEND_COMPONENT})
  string(TOUPPER ${CASSONIC_FRONTEND_COMPONENT} frontend)
  set(CPACK_DEBIAN_${frontend}_PACKAGE_NAME cassonic)
  set(CPACK_COMPONENT_${frontend}_DEPENDS ${CASSONIC_ENCODER_COMPONENT})
  set(CPACK_COMPONENT_${frontend}_DESCRIPTION
    "MSX programs to WAV files that an MSX loads from tape (desktop application)
CassonicRunner keeps a list of MSX program files and the encoder's options,
runs tapecast on them and shows its progress, then plays the finished WAV
so that an MSX loads it through its cassette port.")
endif()

include(CPack)
