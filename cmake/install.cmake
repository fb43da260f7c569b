# Installation: the program into <prefix>/bin, its runtime data into <prefix>/zav/data and a
# resource file <prefix>/zav/etc/zav.cfg that points file_path at that data. With the default
# prefix /usr/local the resource file is on the program's default resource-file path.
install(TARGETS stacont RUNTIME DESTINATION bin)
install(DIRECTORY "${CMAKE_SOURCE_DIR}/data/" DESTINATION zav/data)
# Written at install time so that "cmake --install <build> --prefix P" names P, not the
# configured prefix.
install(CODE [[
  set(zav_etc "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/zav/etc")
  file(MAKE_DIRECTORY "${zav_etc}")
  file(WRITE "${zav_etc}/zav.cfg"
"# Resource file of the installed surface contouring package.
# Every program of the package finds its data files (naming conventions, station
# database, units, regions, sample observations) here.
*.file_path     ${CMAKE_INSTALL_PREFIX}/zav/data
")
  message(STATUS "Installing: ${zav_etc}/zav.cfg")
]])
