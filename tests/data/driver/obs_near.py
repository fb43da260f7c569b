#!/usr/bin/python3
# Used by obs.runs: the sea-level pressure analysed at the grid points nearest
# to Columbus, Ohio and Boise, Idaho, one a line.
import sys, netCDF4, numpy
ds = netCDF4.Dataset(sys.argv[1])
lat, lon, v = ds['lat'][:], ds['lon'][:], ds['pralt'][:].squeeze()
for la, lo in ((40.0, -82.9), (43.6, -116.2)):
    d = (lat - la) ** 2 + ((lon - lo) * numpy.cos(numpy.radians(la))) ** 2
    j, i = numpy.unravel_index(numpy.argmin(d), d.shape)
    print('%.1f' % v[j, i])
