// The package's missing value. Station values, grids, domains, dates, parameters and unset
// attributes all use it; every computation passes a missing input through as missing.
#pragma once

constexpr float MISSING = -9999.0f;
constexpr int MISSING_INT = -9999;
