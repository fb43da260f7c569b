#!/usr/bin/python3
# Used by ogr.runs: contour vertices and band polygons read back with GDAL.
# For a grid file, the GeoTIFF of its domain and a feature file, one line:
#   <contour vertices> <largest distance from the level in grid lengths> <band polygons>
#   <invalid polygons> <relative difference of the band area from the valid cells' area>
# A vertex lies on a cell side; its distance is how far it is off the side and along the
# side from where the side's linear interpolant equals the level.
import sys, math, struct
from osgeo import ogr, gdal
ogr.UseExceptions()
grd, tif, vec = sys.argv[1:4]
lines = open(grd).read().split('\n')
nx, ny = map(int, lines[4].split()[-2:])
# The program holds grid values as 32-bit floats: so does the check.
vals = [struct.unpack('f', struct.pack('f', float(v)))[0] for v in lines[5:5 + nx * ny]]
def z(c, r): return vals[r * nx + c]
gt = gdal.Open(tif).GetGeoTransform()
ds = ogr.Open(vec)
worst, nvert = 0.0, 0
for f in ds.GetLayerByName('contours'):
    level, g = f['level'], f.GetGeometryRef()
    for k in range(g.GetPointCount()):
        c, r = (g.GetX(k) - gt[0]) / gt[1] - 0.5, (g.GetY(k) - gt[3]) / gt[5] - 0.5
        nvert += 1
        if abs(c - round(c)) < abs(r - round(r)):
            c0 = int(round(c)); r0 = min(int(math.floor(r)), ny - 2); t = r - r0
            a, b = z(c0, r0), z(c0, r0 + 1); off = abs(c - c0)
        else:
            r0 = int(round(r)); c0 = min(int(math.floor(c)), nx - 2); t = c - c0
            a, b = z(c0, r0), z(c0 + 1, r0); off = abs(r - r0)
        worst = max(worst, off, abs(t - ((level - a) / (b - a) if b != a else t)))
area, invalid, nband = 0.0, 0, 0
for f in ds.GetLayerByName('bands'):
    g = f.GetGeometryRef()
    nband += 1
    invalid += not g.IsValid()
    area += g.GetArea()
cells = sum(1 for r in range(ny - 1) for c in range(nx - 1)
            if min(z(c, r), z(c + 1, r), z(c, r + 1), z(c + 1, r + 1)) > -9998)
valid = cells * abs(gt[1] * gt[5])
print(nvert, worst, nband, invalid, abs(area - valid) / valid)
