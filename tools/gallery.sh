#!/usr/bin/env bash
# Draws the pictures of docs/gallery.md and of the README again from the commands printed
# beside them, and writes docs/gallery.md itself.
#
#   bash tools/gallery.sh BUILD_DIR
#
# BUILD_DIR holds the stacont program that draws them. Every command runs in the source
# tree with that program first on the PATH, exactly as printed, so a reader can paste it.
# A README command that is no longer in the README stops the script: the picture would no
# longer match the text beside it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?usage: tools/gallery.sh BUILD_DIR}" && pwd)"
[ -x "$build/stacont" ] || { echo "gallery: no stacont in $build" >&2; exit 1; }
cd "$root"
export PATH="$build:$PATH"
# Resource files of this machine or user must not change the pictures, nor a display.
export zavdefault="$build/no-resource-files"
unset DISPLAY
mkdir -p docs/gallery build/sample-grids

run() {
  local name="$1" cmd="$2"
  echo "== $name"
  if ! bash -euo pipefail -c "$cmd" > "$build/gallery_$name.log" 2>&1; then
    echo "gallery: the command of $name failed; see $build/gallery_$name.log" >&2
    exit 1
  fi
}

# A README picture: the command must stand in the README as printed here (each line, its
# indentation aside).
readme() {
  local name="$1" cmd="$2" line
  while IFS= read -r line; do
    line="${line#"${line%%[![:space:]]*}"}"
    [ -z "$line" ] && continue
    grep -qF -- "$line" README.md || { echo "gallery: README lacks the line of $name: $line" >&2; exit 1; }
  done <<< "$cmd"
  run "$name" "${cmd//build\/tests\//$build/tests/}"
}

page="docs/gallery.md"
{
  echo "# Gallery"
  echo
  echo "Pictures drawn by \`stacont\` from the sample observations of 14 March 2026 (\`data/sample\`) and"
  echo "from the real hour of 1 July 2019 12 UTC (\`../shared/realdata\`), on several devices, projections"
  echo "and plot types. Each command runs in the source tree as printed, with the program on the PATH"
  echo "(\`export PATH=\$PWD/build:\$PATH\` after \`scripts/run.sh\`); \`bash tools/gallery.sh build\` draws them"
  echo "all again (and the README's pictures) and rewrites this page."
} > "$page"

# Adds a gallery entry: runs the command and prints title, text, command and picture.
entry() {
  local name="$1" title="$2" text="$3" cmd="$4"
  run "$name" "$cmd"
  {
    echo
    echo "## $title"
    echo
    echo "$text"
    echo
    echo '```sh'
    echo "$cmd"
    echo '```'
    echo
    echo "![$title](gallery/$name.png)"
  } >> "$page"
}

# ---------------------------------------------------------------------------- gallery

entry temp_fill_conus "Temperature, colour fill and contours, Lambert conformal (PNG)" \
"Temperature every 6 °F at 12 UTC as filled bands with their contours over them (\`lcf\`) on the
CONUS Lambert conformal domain, drawn by the raster device on white." \
"stacont -ba -fp data -if sfc_sample -cu '#2026031412' -pd conus -va 'temp[F]' \\
        -fm 'lcf:in=6:cb=0:lab=1.6' -pp gridx2 -de png,docs/gallery/temp_fill_conus.png,960x640,inv"

entry isobars_ps "Isobars with highs and lows, polar stereographic (PostScript)" \
"Sea-level pressure every 4 mb at 15 UTC with labelled isobars and the highs and lows, as a
PostScript page (upright with \`port\`) rendered by Ghostscript." \
"stacont -ba -fp data -if sfc_sample -cu '#2026031415' -pd us -va pralt \\
        -fm 'ln:in=4:cb=980:wi=2:lab=1.6' -pp gridx2 -com gray -coln gray -de p,/tmp/isobars.ps,color,port
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=png16m -r80 -sOutputFile=docs/gallery/isobars_ps.png /tmp/isobars.ps"

entry vectors_pdf "Wind vectors over isobars (PDF)" \
"The analysed wind at 12 UTC as blue arrows (\`wind[knt:vect]\`: the station winds analysed
as their two components) over the isobars; a PDF page rendered by Ghostscript." \
"stacont -ba -fp data -if sfc_sample -cu '#2026031412' -pd us -va 'pralt[:ln],wind[knt:vect:co=blue]' \\
        -com gray -coln gray -de pdf,/tmp/vectors.pdf,900x680,inv
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=png16m -r72 -sOutputFile=docs/gallery/vectors_pdf.png /tmp/vectors.pdf"

entry streamlines_merc "Streamlines over isobars, Mercator (SVG)" \
"Streamlines of the analysed wind in blue over the isobars at 12 UTC on a Mercator map, as
an SVG drawing rendered by \`rsvg-convert\`." \
"stacont -ba -fp data -if sfc_sample -cu '#2026031412' -pd merc,38,-97,45,29,1.6,1.6 \\
        -va 'pralt[:ln],wind[:strm:co=blue]' -de svg,/tmp/streamlines.svg,900x640,inv
rsvg-convert -b white -o docs/gallery/streamlines_merc.png /tmp/streamlines.svg"

entry barbs_latlon "Wind barbs of the analysis over temperature, latitude-longitude (PNG)" \
"Temperature bands at 18 UTC with barbs of the analysed wind (knots) at every second grid
point, on a latitude-longitude map." \
"stacont -ba -fp data -if sfc_sample -cu '#2026031418' -pd ll,38,-97,61,31,1.0,1.0 \\
        -va 'temp[F:cf:in=6:cb=0],wind[knt:barb:sk=2]' -de png,docs/gallery/barbs_latlon.png,960x560,inv"

entry values_ortho "Station values over a colour fill, orthographic (PNG)" \
"Temperature bands with the station temperatures over them on an orthographic view of North
America; over a fill each value is drawn on a rim of the page's colour so that it reads on
any band." \
"stacont -ba -fp data -if sfc_sample -cu '#2026031412' -pd or,38,-97,41,29,1.4,1.4 \\
        -va 'temp[F:cf:in=6:cb=0],temp[F:value]' -de png,docs/gallery/values_ortho.png,960x720"

entry fronts_pressure "Fronts over pressure bands (PNG)" \
"The 12 UTC frontal bulletin of the sample (fronts with their symbols, highs and lows) over
sea-level pressure bands every 4 mb." \
"stacont -ba -fp data -tp data/sample -if sfc_sample -cu '#2026031412' -pd conus \\
        -va 'pralt[:cf],front' -fm 'cf:in=4:cb=980' -pp barb -de png,docs/gallery/fronts_pressure.png,960x640,inv"

entry stations_real "Station models of a real hour (PNG)" \
"Station models of the METAR collection of 1 July 2019, 12 UTC, over the Northeast:
temperature, dew point, coded pressure, tendency, weather, sky cover and wind barb." \
"stacont -ba -fp data -pd ne -va stmod -sc 0.7 -com gray -coln gray ../shared/realdata/metar_20190701_1200.txt \\
        -de png,docs/gallery/stations_real.png,960x700,inv"

entry dewpoint_real "Dew point of a real hour, Lambert conformal (PNG)" \
"Dew point of the real hour over the contiguous United States, filled every 5 °F from dry
browns through greens to moist blues and purple, with its contours, in the program's window
colours (black page)." \
"stacont -ba -fp data -pd conus -va 'dewp[F]' -fm 'lcf:in=5:cb=20' -pp gridx2 \\
        -cof '#8c510a,#bf812d,#dfc27d,#f6e8c3,#f5f5f5,#d9f0d3,#a6dba0,#5aae61,#1b7837,#4393c3,#2166ac,#762a83' \\
        ../shared/realdata/metar_20190701_1200.txt -de png,docs/gallery/dewpoint_real.png,960x640"

# ---------------------------------------------------------------------------- README

fill="#3b3fb0,#4a4fc4,#5d7fe0,#78a3ec,#98c0f0,#b7d6f4,#d3e8f6,#eaf4f4,#f7f4e6,#f8e0a8,#f5c57f,#f0a35c,#e77e47,#d85a3a,#c23b33"
readme sample_pressure_15z "stacont -ba -fp data -if sfc_sample -cu '#2026031412' -nh 6 -pd us -va pralt \\
    -fm \"lcf:in=4:cb=980:wi=2:lab=1.6:sc=1.2\" -pp gridx2 -of none \\
    -cof \"$fill\" \\
    -de \"p,build/sample-grids/pressure.ps,color\"
gs -q -dNOPAUSE -dBATCH -sDEVICE=png16m -r90 -dFirstPage=4 -dLastPage=4 \\
   -sOutputFile=page4.png build/sample-grids/pressure.ps
convert page4.png -rotate 90 docs/sample_pressure_15z.png"
readme sample_pressure_15z_raster "stacont -ba -fp data -if sfc_sample -cu '#2026031412' -nh 6 -pd us -va pralt \\
    -fm \"lcf:in=4:cb=980:wi=2:lab=1.6:sc=1.2\" -pp gridx2 -of none \\
    -cof \"$fill\" \\
    -de \"png,build/sample-grids/pressure.png,1008x768,inv\"
cp build/sample-grids/pressure_04.png docs/sample_pressure_15z_raster.png"
readme fronts "stacont -ba -fp data -tp data/sample -if sfc_sample -cu '#2026031412' -pd us \\
        -va front -pp barb -com gray -coln gray -de p,fronts.ps,color,port
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=png16m -r80 -sOutputFile=docs/fronts.png fronts.ps"
readme real_slp "stacont -ba -fp data -pd us -va 'pralt,stmod' -fm 'ln:in=4:cb=980:lab=1.6:wi=2' -pp gridx2 \\
        -sc 0.75 -com gray -coln gray -coco blue ../shared/realdata/metar_20190701_1200.txt \\
        -de png,docs/real_slp_20190701_12z.png,1400x1050,inv"
readme real_fronts "stacont -ba -fp data -pd us -va front ../shared/realdata/WPC_sfc_fronts_20210628_1800.txt \\
        -pp barb -com gray -coln gray -de png,docs/fronts_20210628_18z.png,1200x900,inv"
readme streamlines "stacont -ba -fp data -if sfc_sample -cu '#2026031412' -pd us \\
        -va 'pralt[:ln],wind<uwndg,vwndg>[:strm:co=blue]' -de png,docs/sample_streamlines_12z.png,900x680,inv"
readme station_model "stacont -ba -fp data -if sfc_sample -cu '#2026031412' -pd us -va stmod -of none \\
        -pp pscolor -de p,station.ps,color
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=png16m -r110 -sOutputFile=station.png station.ps
convert station.png -rotate 90 docs/station_model_12z.png"
# The symbol sheet is drawn by the test that checks it (a build with the tests, build/ as
# scripts/test.sh makes it, or the build directory given).
sheet="STACONT_WX_SHEET=\$PWD/docs/wx_symbols.png build/tests/plot_wx_symb_test --gtest_filter='WxSheet.*'"
if [ -x "$build/tests/plot_wx_symb_test" ]; then
  readme wx_symbols "$sheet"
else
  echo "gallery: $build has no tests; docs/wx_symbols.png is left as it is" >&2
fi
rm -f fronts.ps station.ps station.png page4.png
echo "gallery: $(grep -c '^## ' "$page") pictures in $page, README pictures drawn again"
