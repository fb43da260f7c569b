#!/usr/bin/python3
# Used by ogr.runs: an analytic field written into a text grid file.
# Replaces the values of a text grid file with an analytic field of its nodes (column c,
# row r from the top): "plane" 0.7 c + 1.9 r; "cone" the distance from a point off the
# nodes, with two nodes missing.
import sys, math
grd, kind = sys.argv[1:3]
lines = open(grd).read().split('\n')
nx, ny = map(int, lines[4].split()[-2:])
out = lines[:5]
for r in range(ny):
    for c in range(nx):
        if kind == 'plane': v = 0.7 * c + 1.9 * r
        else:
            v = math.hypot(c - nx / 2.3, r - ny / 1.9)
            if (c, r) in ((3, 4), (nx - 2, 1)): v = -9999.0
        out.append('%.8e' % v)
open(grd, 'w').write('\n'.join(out) + '\n')
