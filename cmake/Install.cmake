# What `cmake --install` puts where, below the prefix:
#   bin/                                   the updater, the simulator, the image builder
#   lib/instrument-updater/stand-ins/      stand-ins for the makers' tools and updater library
#   share/applications/                    the desktop entry (starts the window)
#   share/icons/hicolor/scalable/apps/     its icon
#   share/man/man1/                        the manual pages, compressed
#   share/doc/instrument-updater/          README, copyright, changelog, examples/
# Programs and stand-ins are installed when their targets exist in this build,
# so families that land later are packaged without touching this file.
include(GNUInstallDirs)

set(UPDATER_PACKAGE_NAME instrument-updater)
set(UPDATER_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${UPDATER_PACKAGE_NAME})
set(UPDATER_STAND_IN_DIR lib/${UPDATER_PACKAGE_NAME}/stand-ins)
set(UPDATER_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(UPDATER_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)
# Signs the changelog and is the maintainer of the Debian package.
set(UPDATER_PACKAGE_MAINTAINER "Instrument Updater developers <instrument-updater@example.org>"
  CACHE STRING "Maintainer of the package: name <e-mail>")

foreach(program instrument-updater instrument-sim instrument-image)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# The stand-ins are looked for in an installation folder, like the makers'
# originals, so they are kept aside and copied into an installation for a
# simulated run. A stand-in target of another name is packaged when its
# CMakeLists adds it: set_property(GLOBAL APPEND PROPERTY UPDATER_STAND_INS <target>)
get_property(stand_ins GLOBAL PROPERTY UPDATER_STAND_INS)
list(APPEND stand_ins HEXLoad_8N1 PIC32_Serial_Bootloader VorloM16Updater)
list(REMOVE_DUPLICATES stand_ins)
foreach(stand_in IN LISTS stand_ins)
  if(TARGET ${stand_in})
    install(TARGETS ${stand_in}
      RUNTIME DESTINATION ${UPDATER_STAND_IN_DIR}
      LIBRARY DESTINATION ${UPDATER_STAND_IN_DIR})
  endif()
endforeach()

install(FILES ${UPDATER_PACKAGING_DIR}/${UPDATER_PACKAGE_NAME}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${UPDATER_PACKAGING_DIR}/${UPDATER_PACKAGE_NAME}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages and the changelog carry the project's version and are stored
# compressed (gzip -9n: no name or time stamp, so the bytes are reproducible).
find_program(UPDATER_GZIP gzip REQUIRED)
function(updater_compressed_file source output)
  configure_file(${source} ${output} @ONLY)
  add_custom_command(OUTPUT ${output}.gz
    COMMAND ${UPDATER_GZIP} -9nkf ${output}
    DEPENDS ${output}
    VERBATIM)
endfunction()

set(compressed)
foreach(page instrument-updater instrument-sim instrument-image)
  if(TARGET ${page})
    updater_compressed_file(${UPDATER_PACKAGING_DIR}/man/${page}.1 ${UPDATER_PACKAGING_OUT}/man/${page}.1)
    install(FILES ${UPDATER_PACKAGING_OUT}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    list(APPEND compressed ${UPDATER_PACKAGING_OUT}/man/${page}.1.gz)
  endif()
endforeach()
updater_compressed_file(${UPDATER_PACKAGING_DIR}/debian/changelog ${UPDATER_PACKAGING_OUT}/changelog)
list(APPEND compressed ${UPDATER_PACKAGING_OUT}/changelog.gz)
add_custom_target(compressed_docs ALL DEPENDS ${compressed})

install(FILES ${UPDATER_PACKAGING_OUT}/changelog.gz ${UPDATER_PACKAGING_DIR}/debian/copyright
  ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${UPDATER_DOC_DIR})

# Every sample installation, whichever folders examples/ holds when installing.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
  DESTINATION ${UPDATER_DOC_DIR}/examples
  PATTERN "*.sh" EXCLUDE)
