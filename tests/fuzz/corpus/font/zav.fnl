# Stroke fonts converted from the Hershey glyphs by tools/make_fonts.cpp.
# The Hershey Fonts were originally created by Dr. A. V. Hershey while working at the
# U. S. National Bureau of Standards. The format of the Font data they were converted
# from was originally created by James Hurt, Cognition, Inc. (see README.md).
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
