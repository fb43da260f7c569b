// Natural cubic splines. The tridiagonal system is solved in one sweep down and one back
// (second derivatives zero at both ends), in single precision like the points themselves.
#include "analysis/spline.h"

#include <cmath>
#include <cstddef>

#include "config/missing.h"

std::vector<float> SPLINE_create(int n, const float* t, const float* v) {
  if (n <= 0 || t == nullptr || v == nullptr) return {};
  const auto count = static_cast<std::size_t>(n);
  std::vector<float> y2(count, 0.0f), w(count, 0.0f);
  for (std::size_t i = 1; i + 1 < count; ++i) {
    const float h0 = t[i] - t[i - 1], h1 = t[i + 1] - t[i], span = t[i + 1] - t[i - 1];
    // Repeated or falling abscissae would divide by zero: the curve goes straight there.
    if (!(h0 > 0.0f && h1 > 0.0f)) continue;
    const float sigma = h0 / span;
    const float p = sigma * y2[i - 1] + 2.0f;
    y2[i] = (sigma - 1.0f) / p;
    w[i] = ((v[i + 1] - v[i]) / h1 - (v[i] - v[i - 1]) / h0) * 6.0f / span;
    w[i] = (w[i] - sigma * w[i - 1]) / p;
  }
  y2[count - 1] = 0.0f;
  for (std::size_t k = count - 1; k-- > 0;) y2[k] = y2[k] * y2[k + 1] + w[k];
  return y2;
}

float SPLINE_interp(int n, const std::vector<float>& y2, const float* t, const float* v, float u) {
  if (n <= 0 || t == nullptr || v == nullptr || y2.size() < static_cast<std::size_t>(n)) return MISSING;
  if (n == 1) return v[0];
  int k = n - 2;
  while (k > 0 && t[k] > u) --k;
  const float h = t[k + 1] - t[k];
  if (!(h > 0.0f)) return v[k];
  const float d = u - t[k];
  return v[k] + d * ((v[k + 1] - v[k]) / h - (y2[k + 1] + 2.0f * y2[k]) * h / 6.0f +
                     d * (y2[k] / 2.0f + (y2[k + 1] - y2[k]) * d / (6.0f * h)));
}

int SPLINE_create2(int n, const float* x, const float* y, float* s, std::vector<float>* y2x, std::vector<float>* y2y) {
  if (n <= 0 || x == nullptr || y == nullptr || s == nullptr) return 0;
  double run = 0.0;
  s[0] = 0.0f;
  for (int i = 1; i < n; ++i) {
    const double dx = static_cast<double>(x[i]) - x[i - 1], dy = static_cast<double>(y[i]) - y[i - 1];
    run += std::sqrt(dx * dx + dy * dy);
    s[i] = static_cast<float>(run);
  }
  if (y2x != nullptr) *y2x = SPLINE_create(n, s, x);
  if (y2y != nullptr) *y2y = SPLINE_create(n, s, y);
  return 1;
}

int SPLINE_interp2(int n, const std::vector<float>& y2x, const std::vector<float>& y2y, const float* x, const float* y,
                   const float* s, float* x_out, float* y_out, float u) {
  if (n <= 0) return 0;
  if (x_out != nullptr) *x_out = SPLINE_interp(n, y2x, s, x, u);
  if (y_out != nullptr) *y_out = SPLINE_interp(n, y2y, s, y, u);
  return 1;
}
