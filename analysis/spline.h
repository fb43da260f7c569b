// Natural cubic splines through points of strictly increasing abscissa, and the same for a
// plane curve parametrised by its chord length (used to smooth fronts drawn through a few
// analysed positions).
#pragma once
#include <vector>

// The second derivatives of the natural cubic spline through (t[i], v[i]), i < n; empty for
// n <= 0. Abscissae that do not increase make the spline straight there.
std::vector<float> SPLINE_create(int n, const float* t, const float* v);
// The spline's value at u; below t[0] the first interval and beyond t[n-1] the last one
// are extended. v[0] for a single point, MISSING for none.
float SPLINE_interp(int n, const std::vector<float>& y2, const float* t, const float* v, float u);

// Chord lengths s (n floats: s[0] = 0, then the running sum of the distances between
// neighbouring points) and the second derivatives of x and y against s. 1, or 0 for n <= 0.
int SPLINE_create2(int n, const float* x, const float* y, float* s, std::vector<float>* y2x, std::vector<float>* y2y);
// Both coordinates of the curve at chord length u. 1, or 0 for n <= 0.
int SPLINE_interp2(int n, const std::vector<float>& y2x, const std::vector<float>& y2y, const float* x, const float* y,
                   const float* s, float* x_out, float* y_out, float u);
