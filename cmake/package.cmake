# The Debian package (cpack -G DEB; scripts/package.sh configures and makes it): the program
# in /usr/bin, its data in /usr/share/stacont, the manual page. The libraries it links are
# found by dpkg-shlibdeps; netCDF and GDAL are loaded by name at their first use, so the
# packages holding those sonames are named here.
function(stacont_package_of soname out)
  execute_process(COMMAND dpkg-query -S "*/${soname}" OUTPUT_VARIABLE owner ERROR_QUIET)
  if(owner MATCHES "^([^:, ]+)")
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

set(CPACK_PACKAGE_NAME "stacont")
set(CPACK_PACKAGE_VERSION "5.60.0")
set(CPACK_PACKAGE_CONTACT "stacont developers <stacont@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "contour hourly surface weather observations")
set(CPACK_PACKAGE_DESCRIPTION
  "stacont reads hourly surface observations (METAR collections, station
tables, its own surface files, netCDF report files), analyses them onto a
grid by successive correction with quality control, and draws contours,
colour fill, vectors, streamlines, barbs, fronts or station models over a
map in an X11 window or to PostScript, HPGL, PNG, PDF and SVG. It writes
the grids as netCDF (CF conventions) and GeoTIFF.")
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(loaded "")
foreach(soname IN ITEMS "${STACONT_NETCDF_LIBRARY}" "${STACONT_GDAL_LIBRARY}")
  if(soname)
    stacont_package_of("${soname}" pkg)
    if(pkg)
      list(APPEND loaded "${pkg}")
    endif()
  endif()
endforeach()
string(REPLACE ";" ", " CPACK_DEBIAN_PACKAGE_DEPENDS "${loaded}")
include(CPack)
