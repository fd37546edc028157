# The Debian package (`cpack` in a build tree, or scripts/package): one
# package with the window, the console, the simulator and the sample
# installations. Its run-time dependencies are computed from the programs
# (dpkg-shlibdeps), so dpkg-dev must be installed to make it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${UPDATER_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${UPDATER_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${UPDATER_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The synopsis, and the extended description below it (CPack indents it).
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for measuring instruments on a serial port")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Updates the firmware of measuring instruments (pH, oxygen, conductivity
and multi-parameter meters, laboratory instruments and their sensors)
connected through an RS-232 port or a USB serial adapter. It finds the
instrument on any port, reads its identity, compares its software version
with the firmware on offer, programs it through the instrument's boot
loader and sets its clock. It runs in a Qt window or in a terminal.
.
The package also holds an instrument simulator on a pseudo-terminal, its
firmware image builder and sample installations to try the updater with.")

# Qt loads its display back-ends as plug-ins, which no program links to.
if(TARGET updater_ui_qt)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
# Opens the readme documents of an installation.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

# The post-install note about serial-port access.
configure_file(${UPDATER_PACKAGING_DIR}/debian/postinst ${UPDATER_PACKAGING_OUT}/debian/postinst
  @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${UPDATER_PACKAGING_OUT}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
