#!/usr/bin/python3
# Used by cf.runs: CF grid files opened with the netCDF4 and pyproj modules.
# Opens CF grid files with the standard reader and prints for each, after "file <path>",
# one per line:
#   point <row> <column> <lat> <lon>   for the four corners and the centre (rows from the south)
#   pyproj <dlat> <dlon>               largest difference between the file's lat/lon and what the
#                                      reader's projection library makes of x, y and "crs"
#   mapping <grid_mapping_name>        ("none" without a grid mapping)
#   units <units of the values>
import sys, netCDF4, numpy, pyproj
for path in sys.argv[1:]:
  print('file', path)
  ds = netCDF4.Dataset(path)
  name = ds['grid_record'].variable
  lat, lon = ds['lat'][:], ds['lon'][:]
  ny, nx = lat.shape
  for j, i in ((0, 0), (0, nx - 1), (ny - 1, 0), (ny - 1, nx - 1), (ny // 2, nx // 2)):
      print('point %d %d %.7f %.7f' % (j, i, lat[j, i], lon[j, i]))
  if 'crs' in ds.variables:
      cf = {k: ds['crs'].getncattr(k) for k in ds['crs'].ncattrs()}
      crs = pyproj.CRS.from_cf(cf)
      x, y = numpy.array(ds['x'][:]), numpy.array(ds['y'][:])
      if cf['grid_mapping_name'] == 'geostationary':
          x, y = x * cf['perspective_point_height'], y * cf['perspective_point_height']
      X, Y = numpy.meshgrid(x, y)
      plon, plat = pyproj.Transformer.from_crs(crs, crs.geodetic_crs, always_xy=True).transform(X, Y)
      print('pyproj %.3g %.3g' % (numpy.abs(plat - lat).max(), numpy.abs((plon - lon + 180) % 360 - 180).max()))
      print('mapping', cf['grid_mapping_name'])
  else:
      print('mapping none')
  print('units', ds[name].units)
