#!/usr/bin/python3
# Used by cf.runs: the package's netCDF layout against the CF file of the same
# analysis (rows top first against rows from the south); prints whether they are equal and
# the number of values.
import sys, netCDF4, numpy
a = netCDF4.Dataset(sys.argv[1])['values'][0].filled(-9999).reshape(17, 25)
b = netCDF4.Dataset(sys.argv[2])['temp'][0].filled(-9999)
print(numpy.array_equal(a[::-1], b), int((b != -9999).sum()))
