#!/usr/bin/python3
# Used by ogr.runs: GeoJSON layers read back with GDAL.
# For GeoJSON files: <features> <invalid> <west> <east> <multi-part geometries> each.
import sys
from osgeo import ogr
for name in sys.argv[1:]:
    ds = ogr.Open(name)
    l = ds.GetLayer(0)
    bad, xs, multi = 0, [], 0
    for f in l:
        g = f.GetGeometryRef()
        bad += not g.IsValid()
        e = g.GetEnvelope()
        xs += [e[0], e[1]]
        multi += g.GetGeometryName().startswith('MULTI')
    print(l.GetFeatureCount(), bad, min(xs), max(xs), multi)
