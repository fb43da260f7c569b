# Installation: the program into <prefix>/bin, its runtime data into
# <prefix>/<STACONT_INSTALL_DIR>/data ("zav" by default; "share/stacont" in the Debian
# package) and a resource file .../etc/zav.cfg that points file_path at that data. The
# installed program finds both from its own place, whatever the prefix; resource files and
# environment variables of the user's still come first.
include(GNUInstallDirs)
install(TARGETS stacont RUNTIME DESTINATION bin)
install(DIRECTORY "${CMAKE_SOURCE_DIR}/data/" DESTINATION "${STACONT_INSTALL_DIR}/data")
# The manual page and the package's changelog go compressed, as Debian has them; the
# copyright file names the licences of the data.
set(docs_gz "${CMAKE_BINARY_DIR}/stacont.1.gz" "${CMAKE_BINARY_DIR}/changelog.gz")
add_custom_command(OUTPUT ${docs_gz}
  COMMAND gzip -9n -c "${CMAKE_SOURCE_DIR}/docs/stacont.1" > "${CMAKE_BINARY_DIR}/stacont.1.gz"
  COMMAND gzip -9n -c "${CMAKE_SOURCE_DIR}/cmake/debian/changelog" > "${CMAKE_BINARY_DIR}/changelog.gz"
  DEPENDS "${CMAKE_SOURCE_DIR}/docs/stacont.1" "${CMAKE_SOURCE_DIR}/cmake/debian/changelog"
  VERBATIM)
add_custom_target(stacont_docs ALL DEPENDS ${docs_gz})
install(FILES "${CMAKE_BINARY_DIR}/stacont.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${CMAKE_BINARY_DIR}/changelog.gz" "${CMAKE_SOURCE_DIR}/cmake/debian/copyright"
  DESTINATION "${CMAKE_INSTALL_DOCDIR}")
# Written at install time so that "cmake --install <build> --prefix P" names P, not the
# configured prefix.
install(CODE "set(STACONT_INSTALL_DIR \"${STACONT_INSTALL_DIR}\")")
install(CODE [[
  set(zav_etc "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${STACONT_INSTALL_DIR}/etc")
  file(MAKE_DIRECTORY "${zav_etc}")
  file(WRITE "${zav_etc}/zav.cfg"
"# Resource file of the installed surface contouring package.
# Every program of the package finds its data files (naming conventions, station
# database, units, regions, sample observations) here.
*.file_path     \"${CMAKE_INSTALL_PREFIX}/${STACONT_INSTALL_DIR}/data\"
")
  message(STATUS "Installing: ${zav_etc}/zav.cfg")
]])
