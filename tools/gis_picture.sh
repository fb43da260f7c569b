#!/bin/sh
# Draws docs/gis_contours.png from the features the program writes, with GDAL's own tools
# only: the bands burnt in their colour, then the contour lines and the highs and lows in
# black. Usage: tools/gis_picture.sh [stacont binary] (from the source tree).
set -e
bin=${1:-build/stacont}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin" -ba -me error -fp data -if sfc_sample -cu '#2026031412' -pd us -va temp -pl lcf -de ogr,"$work/t.gpkg"
gdal_rasterize -q -ot Byte -init 255 -tr 8000 8000 -burn 255 -burn 255 -burn 255 -l bands "$work/t.gpkg" "$work/t.tif"
for colour in $(ogrinfo -ro -q "$work/t.gpkg" -sql "SELECT DISTINCT colour FROM bands" | sed -n 's/.*colour (String) = #//p'); do
  r=$(printf '%d' "0x$(echo "$colour" | cut -c1-2)")
  g=$(printf '%d' "0x$(echo "$colour" | cut -c3-4)")
  b=$(printf '%d' "0x$(echo "$colour" | cut -c5-6)")
  gdal_rasterize -q -b 1 -b 2 -b 3 -burn "$r" -burn "$g" -burn "$b" -where "colour = '#$colour'" -l bands "$work/t.gpkg" "$work/t.tif"
done
gdal_rasterize -q -b 1 -b 2 -b 3 -burn 0 -burn 0 -burn 0 -at -l contours "$work/t.gpkg" "$work/t.tif"
ogr2ogr -q -f GPKG "$work/hl.gpkg" "$work/t.gpkg" -dialect SQLite -sql "SELECT ST_Buffer(geom, 40000) AS geom FROM highs_lows"
gdal_rasterize -q -b 1 -b 2 -b 3 -burn 0 -burn 0 -burn 0 "$work/hl.gpkg" "$work/t.tif"
gdal_translate -q -of PNG "$work/t.tif" docs/gis_contours.png
rm -f docs/gis_contours.png.aux.xml
