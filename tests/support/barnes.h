// The program's default analysis, computed here independently, for tests that check analysed
// grids to the last bit: one pass, weight exp(-d^2) with d in grid lengths, radius three grid
// lengths, on a latitude-longitude grid of one-degree spacing; a point with no station
// within reach is missing (-9999).
#pragma once
#include <cmath>
#include <vector>

struct TestStation {
  double lat, lon, value;
};

// Grid of nx x ny points centred at clat, clon, the top row first.
inline std::vector<float> default_analysis(const std::vector<TestStation>& stations, int nx, int ny, double clat,
                                           double clon) {
  std::vector<float> grid;
  for (int row = 0; row < ny; ++row) {
    for (int col = 0; col < nx; ++col) {
      double sum = 0.0, weights = 0.0;
      for (const TestStation& s : stations) {
        const double x = s.lon - clon + (nx - 1) / 2.0;  // grid column of the station
        const double y = clat + (ny - 1) / 2.0 - s.lat;  // grid row
        const double d2 = (x - col) * (x - col) + (y - row) * (y - row);
        if (d2 > 9.0) continue;
        sum += s.value * std::exp(-d2);
        weights += std::exp(-d2);
      }
      grid.push_back(weights > 0.0 ? static_cast<float>(sum / weights) : -9999.0f);
    }
  }
  return grid;
}
