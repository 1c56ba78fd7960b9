# The Debian package "hearth": cmake --install lays out the files, CPack
# wraps them with the maintainer scripts in debian/. scripts/package builds it.

include(GNUInstallDirs)

# Installing needs only what is installed, not every target of the tree.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(HEARTH_UNIT_DIR "/lib/systemd/system" CACHE STRING "Where the package puts the systemd unit")
set(HEARTH_SBIN_PATH "/usr/sbin/hearthd")

# The unit is what hearthd itself prints from its configuration answers, on a
# scratch root so that no machine's hive is read.
set(hearth_unit ${CMAKE_BINARY_DIR}/packaging/hearthd.service)
add_custom_command(
  OUTPUT ${hearth_unit}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/unit-root
  COMMAND ${CMAKE_COMMAND} -E env HEARTH_ROOT=${CMAKE_BINARY_DIR}/packaging/unit-root
          $<TARGET_FILE:hearthd> --print-unit --exec ${HEARTH_SBIN_PATH} > ${hearth_unit}
  DEPENDS hearthd
  COMMENT "Printing the systemd unit of hearthd"
  VERBATIM)
add_custom_target(hearth_unit ALL DEPENDS ${hearth_unit})

# Debian keeps a compressed changelog beside the copyright file.
set(hearth_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${hearth_changelog}
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/debian/changelog > ${hearth_changelog}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog
  VERBATIM)
add_custom_target(hearth_changelog ALL DEPENDS ${hearth_changelog})

set(hearth_man_pages)
foreach(page hearthd.8 hearthctl.8)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/packaging/${page}.gz
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/${page} > ${CMAKE_BINARY_DIR}/packaging/${page}.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/${page}
    VERBATIM)
  list(APPEND hearth_man_pages ${CMAKE_BINARY_DIR}/packaging/${page}.gz)
endforeach()
add_custom_target(hearth_man_pages ALL DEPENDS ${hearth_man_pages})

install(TARGETS hearthd RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
install(TARGETS hearthctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${hearth_unit} DESTINATION ${HEARTH_UNIT_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/config/branding.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/hearth)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright ${hearth_changelog}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/hearth)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/lintian-overrides RENAME hearth
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides)
install(FILES ${CMAKE_BINARY_DIR}/packaging/hearthd.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES ${CMAKE_BINARY_DIR}/packaging/hearthctl.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "hearth")
set(CPACK_PACKAGE_VENDOR "Norvale")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Norvale packaging <packaging@norvale.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Veltris security suite system service")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The core of the Veltris security suite's system service: encrypted system\nand per-user settings, the feature plug-ins and their lifecycle events, the\nalert and report-log database, store files and an asynchronous host-name\nresolver.\n\nhearthd runs the service under systemd; hearthctl administers it.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "admin")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/debian/preinst ${CMAKE_SOURCE_DIR}/packaging/debian/postinst
    ${CMAKE_SOURCE_DIR}/packaging/debian/prerm
    ${CMAKE_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
