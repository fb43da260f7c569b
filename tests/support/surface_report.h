// A surface report's values by name, for the tests that print, check or damage reports:
// one table of the number fields and one printed form of a whole report.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "surface/sfc_read.h"

namespace surface_report {

using R = sfc_report;
inline constexpr float kMissing = -9999.0f;

// The number fields, in the order a report is printed.
inline constexpr std::pair<const char*, float R::*> kFloats[] = {{"lat", &R::lat}, {"lon", &R::lon},
    {"elev", &R::elev}, {"vis", &R::vis}, {"slpr", &R::slpr}, {"temp", &R::temp}, {"dewp", &R::dewp},
    {"wdir", &R::wdir}, {"wspd", &R::wspd}, {"wgust", &R::wgust}, {"alt", &R::alt}, {"ptend", &R::ptend},
    {"prec3", &R::prec3}, {"prec6", &R::prec6}, {"prec12", &R::prec12}, {"prec24", &R::prec24}, {"maxt", &R::maxt},
    {"mint", &R::mint}, {"maxt6", &R::maxt6}, {"mint6", &R::mint6}, {"scover", &R::scover}, {"solar", &R::solar},
    {"sst", &R::sst}, {"wave_per", &R::wave_per}, {"wave_hgt", &R::wave_hgt}};

// The number field of that name, nullptr when there is none.
template <class Report>
auto* value(Report& r, const std::string& name) {
  decltype(&(r.*kFloats[0].second)) found = nullptr;
  for (const auto& [n, m] : kFloats)
    if (name == n) found = &(r.*m);
  return found;
}

inline std::string num(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}

// The fields a report holds, leaving out those at their empty values; clouds as height/cover.
inline std::string dump(const R& r) {
  std::string s;
  auto add = [&](const char* name, const std::string& v) { s += (s.empty() ? "" : " ") + std::string(name) + "=" + v; };
  for (auto [name, text] : {std::pair{"id", r.id}, {"region", r.region}})
    if (*text) add(name, text);
  const std::pair<const char*, std::int32_t R::*> ints[] = {{"type", &R::type}, {"wmo", &R::wmo},
      {"spare_time", &R::spare_time}, {"time", &R::time}, {"ncld", &R::ncld}, {"ptype", &R::ptype}};
  for (auto [name, m] : ints)
    if (r.*m != (m == &R::type || m == &R::ncld ? 0 : -9999)) add(name, std::to_string(r.*m));
  for (int k = 0; k < 5; ++k)
    if (r.cld_cov[k] != ' ' || r.cld_hgt[k] != kMissing)
      add(("c" + std::to_string(k)).c_str(), num(r.cld_hgt[k]) + "/" + r.cld_cov[k]);
  if (std::strcmp(r.wx, " ") != 0) add("wx", r.wx);
  for (auto [name, m] : kFloats)
    if (r.*m != kMissing) add(name, num(r.*m));
  for (auto [name, c] : {std::pair{"cld_tot", r.cld_tot}, {"lcld", r.lcld}, {"mcld", r.mcld}, {"hcld", r.hcld}})
    if (c != ' ') add(name, std::string(1, c));
  if (r.comment[0]) add("comment", r.comment);
  return s;
}

}  // namespace surface_report
