"""Checks of a picture the program drew, read with GDAL (PNG) or rendered by Ghostscript
(PostScript, PDF), for the tables of runs (check: lines).

  pic.py FILE [--letter DPI | --sheet DPI] [--page N] CHECK...

--letter renders on letter paper (fixed), --sheet on the sheet the file asks for; pages
count from 1 (default 1). Each CHECK is NAME[.FIELD][[BOX]]OP VALUE[,TOLERANCE]:
  NAME   a colour class (below), "pages" or "width"/"height"
  FIELD  count (default), x0, y0, x1, y1, w (x1 - x0), h (y1 - y0) of the class's pixels
  BOX    x0,y0,x1,y1 inclusive pixels (-1: the last); with a "." in it, fractions of the
         width and height (x1 the last pixel before the fraction)
  OP     == != < <= > >= ~ (within TOLERANCE); without OP and VALUE the value is printed
Exit status 0 when every check holds; otherwise each failed check is printed."""
import glob
import os
import re
import subprocess
import sys
import tempfile

import numpy as np
from osgeo import gdal

gdal.UseExceptions()

CLASSES = {
    # sum of channels below half: what reads as ink on paper
    "dark": lambda r, g, b: r + g + b < 3 * 128,
    "bright": lambda r, g, b: r + g + b > 3 * 128,
    "black": lambda r, g, b: (r == 0) & (g == 0) & (b == 0),
    "nearblack": lambda r, g, b: r + g + b < 60,
    "red": lambda r, g, b: (r > 180) & (g < 90) & (b < 90),
    "green": lambda r, g, b: (g > 100) & (r < 60) & (b < 60),
    "brightgreen": lambda r, g, b: (r < 60) & (g > 150) & (b < 60),
    "barbblue": lambda r, g, b: (b > 180) & (r < 100) & (g < 140),
    "ink200": lambda r, g, b: r + g + b < 200,
    "nonblack": lambda r, g, b: r + g + b > 0,
    "blue": lambda r, g, b: (b > 150) & (b > r + 60) & (b > g + 60),
    "brown": lambda r, g, b: (r > 120) & (r < 190) & (g > 60) & (g < 120) & (b < 60),
    "amber": lambda r, g, b: (r > 220) & (g > 170) & (g < 230) & (b < 50),
    "grey200": lambda r, g, b: (r == g) & (g == b) & (r > 190) & (r < 210),
    "grey90": lambda r, g, b: (r == g) & (g == b) & (r > 80) & (r < 100),
    # within 40 of a black or a white page in every channel
    "page0": lambda r, g, b: (r < 40) & (g < 40) & (b < 40),
    "page255": lambda r, g, b: (r > 215) & (g > 215) & (b > 215),
}


def pages_of(path, mode, dpi):
    if mode is None:
        return [path]
    out = tempfile.mkdtemp(prefix="pic")
    args = ["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m", "-r%d" % dpi]
    if mode == "letter":
        args += ["-sPAPERSIZE=letter", "-dFIXEDMEDIA"]
    subprocess.run(args + ["-sOutputFile=" + out + "/p%03d.png", path], check=True)
    return sorted(glob.glob(out + "/p*.png"))


def read(png):
    d = gdal.Open(png)
    if d.GetRasterBand(1).GetColorTable() is not None:  # a paletted picture
        d = gdal.Translate("", d, format="MEM", rgbExpand="rgb")
    bands = [d.GetRasterBand(k + 1).ReadAsArray().astype(int) for k in range(min(3, d.RasterCount))]
    while len(bands) < 3:
        bands.append(bands[0])
    return bands


def box_of(spec, w, h):
    v = spec.split(",")
    if "." in spec:
        f = [float(x) for x in v]
        return int(f[0] * w), int(f[1] * h), int(f[2] * w) - 1, int(f[3] * h) - 1
    b = [int(x) for x in v]
    return b[0], b[1], w - 1 if b[2] < 0 else b[2], h - 1 if b[3] < 0 else b[3]


def measure(name, field, box, rgb, pages):
    if name == "pages":
        return len(pages)
    h, w = rgb[0].shape
    if name in ("width", "height"):
        return w if name == "width" else h
    x0, y0, x1, y1 = box_of(box, w, h) if box else (0, 0, w - 1, h - 1)
    x0, y0 = max(x0, 0), max(y0, 0)
    part = [c[y0:y1 + 1, x0:x1 + 1] for c in rgb]
    mask = CLASSES[name](*part)
    if field == "count":
        return int(mask.sum())
    ys, xs = np.nonzero(mask)
    if len(xs) == 0:
        return -1
    got = {"x0": xs.min() + x0, "x1": xs.max() + x0, "y0": ys.min() + y0, "y1": ys.max() + y0}
    got["w"], got["h"] = got["x1"] - got["x0"], got["y1"] - got["y0"]
    return int(got[field])


def holds(got, op, want):
    if op == "~":
        value, tol = (float(x) for x in want.split(","))
        return abs(got - value) <= tol
    value = float(want)
    return {"==": got == value, "!=": got != value, "<": got < value, "<=": got <= value,
            ">": got > value, ">=": got >= value}[op]


def main(argv):
    path, mode, dpi, page = argv[0], None, 72, 1
    checks = []
    i = 1
    while i < len(argv):
        if argv[i] in ("--letter", "--sheet"):
            mode, dpi = argv[i][2:], int(argv[i + 1])
            i += 2
        elif argv[i] == "--page":
            page = int(argv[i + 1])
            i += 2
        else:
            checks.append(argv[i])
            i += 1
    pages = pages_of(path, mode, dpi)
    rgb = read(pages[page - 1]) if page <= len(pages) else None
    failed = 0
    for c in checks:
        m = re.fullmatch(r"([a-z0-9]+)(?:\.([a-z0-9]+))?(?:\[([-0-9.,]+)\])?(?:(==|!=|<=|>=|<|>|~)(.+))?", c)
        if not m or rgb is None and m.group(1) != "pages":
            print("cannot check", c, "of", path)
            failed += 1
            continue
        got = measure(m.group(1), m.group(2) or "count", m.group(3), rgb, pages)
        if m.group(4) is None:
            print(got)
        elif not holds(got, m.group(4), m.group(5)):
            print("%s: %s is %s" % (path, c, got))
            failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
