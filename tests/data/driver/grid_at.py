#!/usr/bin/python3
# Used by the tables of runs: values of a variable of a CF grid file, one line for each
# request after the file and the variable's name:
#   LAT,LON   the value at the grid point nearest to it
#   peak      the largest value and the latitude and longitude of its point
#   count     the number of grid points
#   knots UFILE U VFILE V  the points where the variable and U and V (of those files) have
#             values, and those of them where it is not the length of U and V (m/s) in knots
#             within 2e-3 (1 + value), plus the points where U or V has none and it has one
import sys, netCDF4, numpy
ds = netCDF4.Dataset(sys.argv[1])
def grid(name, d=ds):
    return numpy.ma.filled(d[name][:].squeeze().astype(float), -9999.0)
lat, lon, v = ds['lat'][:], ds['lon'][:], grid(sys.argv[2])
args = sys.argv[3:]
while args:
    a = args.pop(0)
    if a == 'peak':
        k = numpy.unravel_index(numpy.argmax(numpy.where(v == -9999.0, -1e30, v)), v.shape)
        print(v[k], lat[k], lon[k])
    elif a == 'count':
        print(v.size)
    elif a == 'knots':
        u = grid(args[1], netCDF4.Dataset(args[0]))
        w = grid(args[3], netCDF4.Dataset(args[2]))
        args = args[4:]
        ok = (u != -9999.0) & (w != -9999.0)
        bad = numpy.abs(v - numpy.hypot(u, w) * 3600.0 / 1852.0) > 2e-3 * (1 + v)
        print(int(ok.sum()), int((ok & bad).sum() + (~ok & (v != -9999.0)).sum()))
    else:
        la, lo = (float(x) for x in a.split(','))
        d = (lat - la) ** 2 + ((lon - lo) * numpy.cos(numpy.radians(la))) ** 2
        print(v[numpy.unravel_index(numpy.argmin(d), d.shape)])
