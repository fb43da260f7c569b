#include "config/table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rec {
  int id;
  double value;
  char text[13];
};

Rec make(int id, const char* text) {
  Rec r{};
  r.id = id;
  r.value = id * 0.5;
  std::snprintf(r.text, sizeof r.text, "%s", text);
  return r;
}

struct HashCase {
  const char* text;
  int buckets;
  int bucket;
};

class TabKey : public ::testing::TestWithParam<HashCase> {};

// Values worked out by hand from h = (c + 257 h) mod 35177, bucket = h mod buckets.
//   "AB":   65 -> 66 + 257*65 = 16771
//   "ABC":  67 + 257*16771 = 4310214 = 122*35177 + 18620
//   "KDEN": 75 -> 19343 -> 4971220 mod 35177 = 11263 -> 2894669 mod 35177 = 10155
//   "\xff": c = -1 -> -1 mod 35177 = 35176 (kept non-negative)
//   "a\xe9b": 97 -> -23 + 257*97 = 24906 -> 98 + 257*24906 = 6400940 mod 35177 = 33903
INSTANTIATE_TEST_SUITE_P(HandComputed, TabKey,
                         ::testing::Values(HashCase{"", 100000, 0}, HashCase{"A", 100000, 65},
                                           HashCase{"AB", 100000, 16771}, HashCase{"ABC", 100000, 18620},
                                           HashCase{"KDEN", 100000, 10155}, HashCase{"KDEN", 4000, 2155},
                                           HashCase{"KDEN", 7, 5}, HashCase{"\xff", 100000, 35176},
                                           HashCase{"a\xe9" "b", 100000, 33903}, HashCase{"a\xe9" "b", 1, 0}));

TEST_P(TabKey, Bucket) {
  Table t;
  ASSERT_EQ(TAB_create(&t, GetParam().buckets, sizeof(Rec), 1), 0);
  EXPECT_EQ(TAB_key(&t, GetParam().text), GetParam().bucket);
}

TEST(Tab, SameKeyTwiceBothFoundFirstWins) {
  Table t;
  ASSERT_EQ(TAB_create(&t, 16, sizeof(Rec), 2), 0);
  const Rec a = make(1, "first"), b = make(2, "second");
  ASSERT_EQ(TAB_enter(&t, &a, "KDEN", "72565"), 0);
  ASSERT_EQ(TAB_enter(&t, &b, "KDEN", "99999"), 0);

  void* found[4] = {};
  ASSERT_EQ(TAB_searches(&t, 0, "KDEN", found, 4), 2);
  EXPECT_EQ(static_cast<Rec*>(found[0])->id, 1);
  EXPECT_EQ(static_cast<Rec*>(found[1])->id, 2);
  EXPECT_EQ(TAB_searches(&t, 0, "KDEN", found, 1), 1);  // max respected
  EXPECT_EQ(static_cast<Rec*>(TAB_search(&t, 0, "KDEN"))->id, 1);

  // Each key reaches the one shared copy.
  EXPECT_EQ(TAB_search(&t, 1, "72565"), found[0]);
  EXPECT_EQ(static_cast<Rec*>(TAB_search(&t, 1, "99999"))->id, 2);
  EXPECT_EQ(TAB_search(&t, 0, "kden"), nullptr);  // exact comparison
  EXPECT_EQ(TAB_search(&t, 1, "KDEN"), nullptr);  // keys do not mix
}

TEST(Tab, CopiesTheRecordAndWalksInInsertionOrder) {
  Table t;
  ASSERT_EQ(TAB_create(&t, 3, sizeof(Rec), 1), 0);  // few buckets: chains collide
  std::vector<std::string> keys;
  for (int i = 0; i < 50; ++i) {
    keys.push_back("K" + std::to_string(i * 7));
    Rec r = make(i, keys.back().c_str());
    ASSERT_EQ(TAB_enter(&t, &r, keys.back().c_str()), 0);
    r.id = -1;  // the table keeps its own copy
  }
  EXPECT_EQ(t.count, 50);
  int expect = 0;
  for (void* p = TAB_first(&t); p; p = TAB_next(&t)) {
    const Rec* r = static_cast<Rec*>(p);
    EXPECT_EQ(r->id, expect);
    EXPECT_STREQ(r->text, keys[expect].c_str());
    EXPECT_EQ(TAB_search(&t, 0, keys[expect].c_str()), p);
    ++expect;
  }
  EXPECT_EQ(expect, 50);
  EXPECT_EQ(TAB_next(&t), nullptr);
}

TEST(Tab, BadArgumentsAndClearedTables) {
  Table t;
  EXPECT_EQ(TAB_create(&t, 0, 8, 1), -1);
  EXPECT_EQ(TAB_create(&t, 8, 8, 0), -1);
  EXPECT_EQ(TAB_create(nullptr, 8, 8, 1), -1);
  ASSERT_EQ(TAB_create(&t, 8, sizeof(Rec), 2), 0);
  const Rec a = make(1, "x");
  EXPECT_EQ(TAB_enter(&t, &a, "one"), -1);                // too few keys
  EXPECT_EQ(TAB_enter(&t, &a, "one", "two", "three"), -1);  // too many
  EXPECT_EQ(TAB_enter(&t, &a, "one", static_cast<const char*>(nullptr)), -1);
  EXPECT_EQ(t.count, 0);
  ASSERT_EQ(TAB_enter(&t, &a, "one", "two"), 0);
  EXPECT_EQ(TAB_search(&t, 2, "one"), nullptr);
  EXPECT_EQ(TAB_search(&t, -1, "one"), nullptr);
  EXPECT_EQ(TAB_search(&t, 0, nullptr), nullptr);

  TAB_clear(&t);
  EXPECT_EQ(t.count, 0);
  EXPECT_EQ(TAB_search(&t, 0, "one"), nullptr);
  EXPECT_EQ(TAB_first(&t), nullptr);
  EXPECT_EQ(TAB_enter(&t, &a, "one", "two"), -1);
  ASSERT_EQ(TAB_create(&t, 8, sizeof(Rec), 2), 0);
  EXPECT_EQ(TAB_enter(&t, &a, "one", "two"), 0);
  EXPECT_EQ(TAB_create(&t, 8, sizeof(Rec), 2), 0);  // re-creating empties the table
  EXPECT_EQ(TAB_search(&t, 0, "one"), nullptr);
}

TEST(Tab, LongChainUnderOneKey) {
  // Stations without a WMO number all share one key; entering, finding and
  // freeing a long chain must stay cheap and must not recurse.
  Table t;
  ASSERT_EQ(TAB_create(&t, 4000, sizeof(int), 2), 0);
  constexpr int n = 50000;
  for (int i = 0; i < n; ++i) {
    const std::string id = "S" + std::to_string(i);
    ASSERT_EQ(TAB_enter(&t, &i, id.c_str(), "99999"), 0);
  }
  EXPECT_EQ(*static_cast<int*>(TAB_search(&t, 1, "99999")), 0);
  EXPECT_EQ(*static_cast<int*>(TAB_search(&t, 0, "S12345")), 12345);
  std::vector<void*> all(n + 10);
  EXPECT_EQ(TAB_searches(&t, 1, "99999", all.data(), n + 10), n);
  EXPECT_EQ(*static_cast<int*>(all[n - 1]), n - 1);
  TAB_clear(&t);
}

}  // namespace
