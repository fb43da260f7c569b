#include "config/menu.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/run.h"

namespace {

// Types: 0 the main listing, 1 a second listing that also holds "hidden".
const MenuEntry menu[] = {
    {"ret", "Return to main menu", 0, {1, 1, 0, 0}},
    {"t", "Temperature", 1, {1, 1, 0, 0}},
    {"td", "Dew point", 2, {1, 1, 0, 0}},
    {"rh", "Relative humidity", 3, {1, 0, 0, 0}},
    {"th", "Potential temperature", 4, {1, 0, 0, 0}},
    {"-", "-", 0, {1, 0, 0, 0}},
    {"wd", "Wind", 5, {1, 0, 0, 0}},
    {"u", "U component", 6, {1, 0, 0, 0}},
    {"v", "V component", 7, {1, 0, 0, 0}},
    {"hidden", "Only in the second menu", 50, {0, 1, 0, 0}},
    {"p", "Sea level pressure", 8, {1, 0, 0, 0}},
    {"al", "Altimeter", 9, {1, 0, 0, 0}},
    {"vis", "Visibility", 10, {1, 0, 0, 0}},
    {"cig", "Ceiling", 11, {1, 0, 0, 0}},
    {"cld", "Cloud cover", 12, {1, 0, 0, 0}},
    {nullptr, nullptr, 0, {0, 0, 0, 0}},
};

const char* const golden_two_columns =
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
    "\n";

class MenuTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = make_temp_dir("menu"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  // Answers the prompts of the next MENU_process from text.
  void answers(const std::string& text) {
    const std::string path = dir_ + "/stdin";
    write_file(path, text);
    ASSERT_NE(std::freopen(path.c_str(), "r", stdin), nullptr);
  }
  struct Result {
    int value;
    std::string answer;
    std::string out;
  };
  Result choose(const std::string& input, int type, int flags) {
    answers(input);
    char answer[MENU_ANSWER_LEN] = "untouched";
    testing::internal::CaptureStdout();
    const int v = MENU_process("\n        Variable Menu\n", menu, type, "Enter the variable: ", answer, flags);
    return {v, answer, testing::internal::GetCapturedStdout()};
  }
  std::string dir_;
};

TEST_F(MenuTest, ThirteenRowsPrintInTwoColumnsOfSevenAndSix) {
  testing::internal::CaptureStdout();
  MENU_print("\n        %s Menu\n", menu, 0, MENU_EXIT | MENU_RETURN | MENU_HELP, "Variable");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), golden_two_columns);
}

TEST_F(MenuTest, OneColumnAndTheFlagLines) {
  testing::internal::CaptureStdout();
  MENU_print("Short", menu, 1, MENU_EXIT);
  MENU_print("None", menu, 3, MENU_HELP);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
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

struct ChooseCase {
  const char* input;
  int type;
  int flags;
  int value;
  const char* answer;
};

class MenuChooseTest : public MenuTest, public ::testing::WithParamInterface<ChooseCase> {};

TEST_P(MenuChooseTest, Answers) {
  const ChooseCase& c = GetParam();
  const Result r = choose(c.input, c.type, c.flags);
  EXPECT_EQ(r.value, c.value) << c.input;
  EXPECT_EQ(r.answer, c.answer) << c.input;
}

constexpr int all = MENU_EXIT | MENU_RETURN | MENU_HELP;

INSTANTIATE_TEST_SUITE_P(
    Cases, MenuChooseTest,
    ::testing::Values(
        ChooseCase{"3\n", 0, all, 3, "Relative humidity"},
        ChooseCase{"5\n", 0, all, 5, "Wind"},  // numbers skip the separator row
        ChooseCase{"13\n", 0, all, -9999, "13"},
        ChooseCase{"0\n", 0, all, 0, "Return to main menu"},
        ChooseCase{"-1\n", 0, all, -1, "-1"},
        ChooseCase{"-1\n", 0, MENU_RETURN, -9999, "-1"},
        ChooseCase{"0\n", 0, 0, -9999, "0"},
        ChooseCase{"99\n", 0, all, 99, "99"},
        ChooseCase{"99\n", 0, MENU_EXIT, -9999, "99"},
        ChooseCase{"VIS\n", 0, all, 10, "Visibility"},
        ChooseCase{"ret\n", 0, all, 0, "Return to main menu"},
        ChooseCase{"main\n", 0, MENU_RETURN, 0, "main"},
        ChooseCase{"main\n", 0, MENU_EXIT, -9999, "main"},
        ChooseCase{"hidden\n", 0, all, -9999, "hidden"},
        ChooseCase{"hidden\n", 1, all, 50, "Only in the second menu"},
        ChooseCase{"us,40,-100\n", 0, all, -9999, "us,40,-100"},
        ChooseCase{"\n   \nt extra words\n", 0, all, 1, "Temperature"},
        ChooseCase{"set variable td\n2\n", 0, all, 2, "Dew point"}));

TEST_F(MenuTest, QuestionMarkListsNamesAndAsksAgain) {
  const Result r = choose("?\ntd\n", 1, MENU_RETURN);
  EXPECT_EQ(r.value, 2);
  EXPECT_NE(r.out.find("  3: Only in the second menu       \n  0: Return to main menu           \n\n"), std::string::npos);
  EXPECT_NE(r.out.find("Enter the variable:   Temperature\n  Dew point\n  Only in the second menu\n"
                       "Enter the variable: "),
            std::string::npos)
      << r.out;
}

TEST_F(MenuTest, EndOfInputEndsTheProgramCleanly) {
  EXPECT_EXIT(
      {
        answers("");
        char answer[MENU_ANSWER_LEN];
        MENU_process("M", menu, 0, "? ", answer, all);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(MenuTest, SearchAbbreviationsAndChecks) {
  EXPECT_EQ(MENU_search("t", menu), 1);
  EXPECT_EQ(MENU_search("TD:extra", menu), 2);
  EXPECT_EQ(MENU_search("Sea level pressure", menu), 8);
  EXPECT_EQ(MENU_search("ret", menu), 0);
  EXPECT_EQ(MENU_search("nothing", menu), -9999);
  EXPECT_EQ(MENU_search(nullptr, menu), -9999);
  EXPECT_STREQ(MENU_get_abbr(5, menu), "wd");
  EXPECT_STREQ(MENU_get_abbr(50, menu), "hidden");
  EXPECT_STREQ(MENU_get_abbr(0, menu), "ret");
  EXPECT_EQ(MENU_get_abbr(777, menu), nullptr);
  EXPECT_EQ(MENU_check(1, menu, 0), 1);
  EXPECT_EQ(MENU_check(50, menu, 0), 0);
  EXPECT_EQ(MENU_check(50, menu, 1), 1);
  EXPECT_EQ(MENU_check(1, menu, MENU_TYPES), 0);
  EXPECT_EQ(MENU_check(0, menu, 0), 0);  // separators and the return entry are no choices
}

}  // namespace
