#!/usr/bin/python3
# Used by tif.runs: GeoTIFF files against the CF files of the same runs.
# For each pair of arguments (GeoTIFF, CF file) one line:
#   <equal values> <nodes compared> <largest distance in metres> <nodata> <VARIABLE> <UNITS> <VALID_TIME>
# The distance is between each node as the geotransform places it (pixel centres) and
# the node's latitude and longitude in the CF file projected with the GeoTIFF's CRS; on
# latitude-longitude grids it is measured on the sphere. The CF positions are single
# precision: about 0.5 m.
import sys, numpy, netCDF4, pyproj
from osgeo import gdal
args = sys.argv[1:]
for tif, nc in zip(args[0::2], args[1::2]):
    ds = gdal.Open(tif)
    band = ds.GetRasterBand(1)
    a = band.ReadAsArray()
    cf = netCDF4.Dataset(nc)
    name = cf['grid_record'].variable
    v = cf[name]
    v.set_auto_mask(False)
    b = v[0][::-1]
    gt = ds.GetGeoTransform()
    crs = pyproj.CRS.from_wkt(ds.GetProjection())
    lat, lon = cf['lat'][:][::-1], cf['lon'][:][::-1]
    ny, nx = a.shape
    J, I = numpy.mgrid[0:ny, 0:nx]
    X, Y = gt[0] + (I + 0.5) * gt[1], gt[3] + (J + 0.5) * gt[5]
    ok = numpy.isfinite(lat) & (numpy.abs(lat) <= 90)
    x, y = pyproj.Transformer.from_crs(crs.geodetic_crs, crs, always_xy=True).transform(lon[ok], lat[ok])
    if crs.is_geographic:
        dx = ((x - X[ok] + 180) % 360 - 180) * 111195 * numpy.cos(numpy.radians(Y[ok]))
        d = numpy.hypot(dx, (y - Y[ok]) * 111195)
    else:
        d = numpy.hypot(x - X[ok], y - Y[ok])
    md = ds.GetMetadata()
    print(numpy.array_equal(a, b), int(ok.sum()), '%.3f' % d.max(), band.GetNoDataValue(),
          md.get('VARIABLE'), md.get('UNITS'), md.get('VALID_TIME'))
