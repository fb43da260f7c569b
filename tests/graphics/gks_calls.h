// Kernel functions called by name from the words of a script (tests/data/graphics/*.txt):
// each parameter made from the words from its place on, and what the call gives compared
// with the values the script expects.
#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "config/resrc.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_tool.h"

// A kernel function called by its own name.
#define GKS_CALL(f) {#f, gks_calls::wrap(f)}

namespace gks_calls {

using Words = std::vector<std::string>;
using Values = std::vector<float>;

// One parameter of a call made from the words from its place on: a number, a text, an
// array (a word of values apart by commas, or for a last array the rest of the words),
// "*n" for n values the call gives back, or "(null)" for a null text.
struct Arg {
  Words words;
  std::vector<float> f;
  std::vector<int> i;
  std::vector<short> s;
  bool back = false;
  std::string word() const { return words.empty() ? "" : words[0]; }
  template <typename T>
  T* array(std::vector<T>& v, bool out) {
    back = out;
    if (word().rfind('*', 0) == 0) v.assign(std::stoul(word().substr(1)), 0);
    std::stringstream in(word().find(',') != std::string::npos ? word() : "");
    for (std::string x; std::getline(in, x, ',');) v.push_back(static_cast<T>(std::stof(x)));
    if (v.empty())
      for (const std::string& x : words) v.push_back(static_cast<T>(std::stof(x)));
    return v.data();
  }
  template <typename P>
  P as() {
    if constexpr (std::is_same_v<P, int> || std::is_same_v<P, bool>) return word().empty() ? 0 : std::stoi(word());
    if constexpr (std::is_same_v<P, float>) return std::stof(word());
    if constexpr (std::is_same_v<P, const char*>) return words.empty() ? "" : words[0] == "(null)" ? nullptr : words[0].c_str();
    if constexpr (std::is_same_v<P, const float*>) return array(f, false);
    if constexpr (std::is_same_v<P, float*>) return array(f, true);
    if constexpr (std::is_same_v<P, int*>) return array(i, true);
    if constexpr (std::is_same_v<P, short*>) return array(s, true);
  }
  void give(Values& out) const {
    out.insert(out.end(), f.begin(), f.end());
    out.insert(out.end(), i.begin(), i.end());
    out.insert(out.end(), s.begin(), s.end());
  }
};

using Call = std::function<Values(const Words&)>;

// A kernel function called with the script's words; what it returns (if anything) and then
// what it gave back through its "*n" parameters.
template <typename R, typename... P>
Call wrap(R (*fn)(P...)) {
  return [fn](const Words& w) {
    std::vector<Arg> a(sizeof...(P));
    for (std::size_t k = 0; k < a.size() && k < w.size(); ++k) a[k].words.assign(w.begin() + static_cast<long>(k), w.end());
    Values out;
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      if constexpr (std::is_void_v<R>)
        fn(a[I].template as<P>()...);
      else
        out.push_back(static_cast<float>(fn(a[I].template as<P>()...)));
    }(std::index_sequence_for<P...>{});
    for (const Arg& x : a)
      if (x.back) x.give(out);
    return out;
  };
}

// The functions a script calls by name: those of both the kernel's and the window's
// scripts, and the script's own.
inline std::map<std::string, Call> with_shared(std::initializer_list<std::pair<const std::string, Call>> own) {
  std::map<std::string, Call> t = {
      GKS_CALL(gget_color_ind), GKS_CALL(gset_inverse), GKS_CALL(gget_win_size), GKS_CALL(gget_color_rgb),
      GKS_CALL(gopen_ws), GKS_CALL(gset_colr_rep), GKS_CALL(gchk_graphics), GKS_CALL(gclose_ws),
      GKS_CALL(gget_win_offset), GKS_CALL(gset_redraw), GKS_CALL(gget_win_type), GKS_CALL(RES_put), GKS_CALL(unsetenv),
  };
  t.insert(own);
  return t;
}

// A call's words up to its comparison, and the comparison: "=" (within tol), "~TOL" (within
// TOL) or ">" (above), then the values ("-" any value).
struct Expect {
  Words args;
  std::string op;
  float tol = 0;
  Words want;
};
inline Expect expected(const Words& w, float tol) {
  Expect s;
  s.tol = tol;
  std::size_t k = 0;
  for (; k < w.size() && w[k] != "=" && w[k] != ">" && w[k][0] != '~'; ++k) s.args.push_back(w[k]);
  if (k == w.size()) return s;
  s.op = w[k];
  if (s.op[0] == '~') s.tol = std::stof(s.op.substr(1)), s.op = "=";
  s.want.assign(w.begin() + static_cast<long>(k) + 1, w.end());
  return s;
}
inline void compare(const Values& got, const Expect& s) {
  if (s.op.empty()) return;
  ASSERT_EQ(got.size(), s.want.size());
  for (std::size_t k = 0; k < got.size(); ++k) {
    if (s.want[k] == "-") continue;
    const float want = std::stof(s.want[k]);
    if (s.op == ">")
      EXPECT_GT(got[k], want) << "value " << k;
    else if (s.tol == 0)
      EXPECT_EQ(got[k], want) << "value " << k;
    else
      EXPECT_NEAR(got[k], want, s.tol) << "value " << k;
  }
}

}  // namespace gks_calls
