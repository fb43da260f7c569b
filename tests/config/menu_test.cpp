#include "config/menu.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/config_table.h"
#include "tests/support/run.h"

// Types: 0 the main listing, 1 a second listing that also holds "hidden".
const MenuEntry menu[] = {
    {"ret", "Return to main menu", 0, {1, 1, 0, 0}}, {"t", "Temperature", 1, {1, 1, 0, 0}},
    {"td", "Dew point", 2, {1, 1, 0, 0}},            {"rh", "Relative humidity", 3, {1, 0, 0, 0}},
    {"th", "Potential temperature", 4, {1, 0, 0, 0}}, {"-", "-", 0, {1, 0, 0, 0}},
    {"wd", "Wind", 5, {1, 0, 0, 0}},                 {"u", "U component", 6, {1, 0, 0, 0}},
    {"v", "V component", 7, {1, 0, 0, 0}},           {"hidden", "Only in the second menu", 50, {0, 1, 0, 0}},
    {"p", "Sea level pressure", 8, {1, 0, 0, 0}},    {"al", "Altimeter", 9, {1, 0, 0, 0}},
    {"vis", "Visibility", 10, {1, 0, 0, 0}},         {"cig", "Ceiling", 11, {1, 0, 0, 0}},
    {"cld", "Cloud cover", 12, {1, 0, 0, 0}},        {nullptr, nullptr, 0, {0, 0, 0, 0}}};

constexpr int all = MENU_EXIT | MENU_RETURN | MENU_HELP;

class MenuTest : public ::testing::Test {
 protected:
  struct Result {
    int value;
    std::string answer, out;
  };
  Result choose(const std::string& input, int type, int flags) {
    write_file(dir_ + "/stdin", input);  // answers the prompts
    EXPECT_NE(std::freopen((dir_ + "/stdin").c_str(), "r", stdin), nullptr);
    char answer[MENU_ANSWER_LEN] = "untouched";
    testing::internal::CaptureStdout();
    const int v = MENU_process("\n        Variable Menu\n", menu, type, "Enter the variable: ", answer, flags);
    return {v, answer, testing::internal::GetCapturedStdout()};
  }
  std::string dir_ = make_temp_dir("menu");
};

TEST_F(MenuTest, ThirteenRowsInTwoColumnsThenOneColumnAndFlagLines) {
  testing::internal::CaptureStdout();
  MENU_print("\n        %s Menu\n", menu, 0, all, "Variable");
  MENU_print("Short", menu, 1, MENU_EXIT);
  MENU_print("None", menu, 3, MENU_HELP);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\n"
            "        Variable Menu\n"
            "\n"
            "  1: Temperature                      7: V component                   \n"
            "  2: Dew point                        8: Sea level pressure            \n"
            "  3: Relative humidity                9: Altimeter                     \n"
            "  4: Potential temperature           10: Visibility                    \n"
            " --------------------                11: Ceiling                       \n"
            "  5: Wind                            12: Cloud cover                   \n"
            "  6: U component                   \n"
            " 99: Help                          \n"
            "  0: Return to main menu             -1: Exit program                  \n"
            "\n"
            "Short\n"
            "  1: Temperature                   \n"
            "  2: Dew point                     \n"
            "  3: Only in the second menu       \n"
            "  0: Exit program                  \n"
            "\n"
            "None\n"
            " 99: Help                          \n"
            "\n");
}

TEST_F(MenuTest, Answers) {
  for (const TableRow& c : read_table("config/menu.tsv")) {
    const Result r = choose(c[0], c.num(1), c[2] == "all" ? all : c[2] == "return" ? MENU_RETURN : MENU_EXIT);
    EXPECT_EQ(r.value, c.num(3)) << c.where;
    EXPECT_EQ(r.answer, c[4]) << c.where;
  }
}

TEST_F(MenuTest, QuestionMarkListsNamesAndAsksAgain) {
  const Result r = choose("?\ntd\n", 1, MENU_RETURN);
  EXPECT_EQ(r.value, 2);
  EXPECT_NE(r.out.find("  3: Only in the second menu       \n  0: Return to main menu           \n\n"
                       "Enter the variable:   Temperature\n  Dew point\n  Only in the second menu\n"
                       "Enter the variable: "),
            std::string::npos)
      << r.out;
}

TEST_F(MenuTest, SearchAbbreviationsAndChecks) {
  const std::pair<const char*, int> searches[] = {{"TD:extra", 2}, {"Sea level pressure", 8}, {"nothing", -9999}};
  for (auto [text, value] : searches) EXPECT_EQ(MENU_search(text, menu), value) << text;
  EXPECT_EQ(MENU_search(nullptr, menu), -9999);
  EXPECT_STREQ(MENU_get_abbr(50, menu), "hidden");
  EXPECT_EQ(MENU_get_abbr(777, menu), nullptr);
  EXPECT_EQ(MENU_check(1, menu, 0) + MENU_check(50, menu, 1), 2);
  // Not in that listing, no such type; separators and the return entry are no choices.
  EXPECT_EQ(MENU_check(50, menu, 0) + MENU_check(1, menu, MENU_TYPES) + MENU_check(0, menu, 0), 0);
}
