# Stroke fonts converted from the public-domain Hershey glyphs by tools/make_fonts.cpp.
# One font a line: name and file; font 1 is the default.
modern modern.fnt
duplex duplex.fnt
triplex triplex.fnt
complex complex.fnt
italic italic.fnt
greek greek.fnt
symbol symbol.fnt
meteo meteo.fnt
script script.fnt
