#include "config/table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/config_table.h"

struct Rec {
  int id;
  char text[13];
};

TEST(Tab, HandComputedBuckets) {
  for (const TableRow& row : read_table("config/table.tsv")) {
    Table t;
    ASSERT_EQ(TAB_create(&t, row.num(1), sizeof(Rec), 1), 0);
    EXPECT_EQ(TAB_key(&t, row[0].c_str()), row.num(2)) << row.where;
  }
}

TEST(Tab, SameKeyTwiceBothFoundFirstWins) {
  Table t;
  ASSERT_EQ(TAB_create(&t, 16, sizeof(Rec), 2), 0);
  const Rec a{1, "first"}, b{2, "second"};
  ASSERT_EQ(TAB_enter(&t, &a, "KDEN", "72565") + TAB_enter(&t, &b, "KDEN", "99999"), 0);
  void* found[4] = {};
  ASSERT_EQ(TAB_searches(&t, 0, "KDEN", found, 4), 2);
  EXPECT_TRUE(static_cast<Rec*>(found[0])->id == 1 && static_cast<Rec*>(found[1])->id == 2);
  EXPECT_EQ(TAB_searches(&t, 0, "KDEN", found, 1), 1);  // max respected
  EXPECT_EQ(static_cast<Rec*>(TAB_search(&t, 0, "KDEN"))->id, 1);
  EXPECT_EQ(TAB_search(&t, 1, "72565"), found[0]);  // each key reaches the one shared copy
  EXPECT_EQ(TAB_search(&t, 0, "kden"), nullptr);    // exact comparison
  EXPECT_EQ(TAB_search(&t, 1, "KDEN"), nullptr);    // keys do not mix
  TAB_clear(&t);
}

TEST(Tab, BadArgumentsAndClearedTables) {
  Table t;
  EXPECT_EQ(TAB_create(&t, 0, 8, 1) + TAB_create(&t, 8, 8, 0) + TAB_create(nullptr, 8, 8, 1), -3);
  ASSERT_EQ(TAB_create(&t, 8, sizeof(Rec), 2), 0);
  const Rec a{1, "x"};
  // Too few keys, too many, a null key.
  const char* none = nullptr;
  EXPECT_EQ(TAB_enter(&t, &a, "one") + TAB_enter(&t, &a, "1", "2", "3") + TAB_enter(&t, &a, "one", none), -3);
  EXPECT_EQ(t.count, 0);
  ASSERT_EQ(TAB_enter(&t, &a, "one", "two"), 0);
  EXPECT_TRUE(TAB_search(&t, 2, "one") == nullptr && TAB_search(&t, 0, nullptr) == nullptr);
  TAB_clear(&t);
  EXPECT_TRUE(TAB_search(&t, 0, "one") == nullptr && TAB_first(&t) == nullptr);
  EXPECT_EQ(TAB_enter(&t, &a, "one", "two"), -1);
}

TEST(Tab, CopiesWalksInOrderAndLongChains) {
  // Stations without a WMO number all share one key: a long chain must stay cheap to
  // build and search, and must be freed without recursion.
  Table t;
  ASSERT_EQ(TAB_create(&t, 3, sizeof(Rec), 2), 0);
  constexpr int n = 50000;
  for (int i = 0; i < n; ++i) {
    const Rec r{i, ""};  // gone after the call: the table keeps its own copy
    ASSERT_EQ(TAB_enter(&t, &r, ("K" + std::to_string(i)).c_str(), "99999"), 0);
  }
  int expect = 0;
  for (void* p = TAB_first(&t); p; p = TAB_next(&t)) ASSERT_EQ(static_cast<Rec*>(p)->id, expect++);
  EXPECT_TRUE(expect == n && t.count == n);
  EXPECT_EQ(static_cast<Rec*>(TAB_search(&t, 0, "K12345"))->id, 12345);
  std::vector<void*> all(n + 1);
  EXPECT_EQ(TAB_searches(&t, 1, "99999", all.data(), n + 1), n);
  EXPECT_EQ(static_cast<Rec*>(all[n - 1])->id, n - 1);
  TAB_clear(&t);
}
