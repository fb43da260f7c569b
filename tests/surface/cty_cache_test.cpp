// The station database's binary index: the records it gives equal the parsed text's, it is
// used while the text is unchanged and rebuilt when the text changes, damaged or foreign
// indexes are ignored and replaced, and unwritable places fall back to the user's cache
// directory or to parsing the text every time, all without a message.
#include "surface/cty_cache.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/mess.h"
#include "config/missing.h"
#include "plot/maptran.h"
#include "surface/cty_read.h"
#include "surface/cty_tool.h"
#include "tests/support/capture.h"
#include "tests/support/run.h"
#include "tests/support/surface_cases.h"

namespace {

constexpr std::size_t kHeader = 64;
constexpr std::size_t kRecord = sizeof(CityLine);

// Three stations, a comment, a blank line and a line whose priority does not convert.
const std::string kText =
    "Denver               CO US KDEN      1  39.8617 -104.6730  1655 72565 0\n"
    "# comment\n"
    "\n"
    "Heathrow             -- GB EGLL     *3* 51.4706   -0.4619    25 03772 7\n"
    "Bad_Priority         CO US KBAD      x  40.0000 -105.0000  1600 99999 0\n"
    "Buoy_41001           -- B_ --        4  34.7000  -72.7000  9999 41001 0\n";

// The same length with Denver moved: an index made from kText still matches the file's
// size, and the test puts back its modification time, so only the index can tell.
const std::string kMoved = [] {
  std::string t = kText;
  return t.replace(t.find("39.8617"), 7, "11.1111");
}();

struct Summary {
  std::vector<std::string> ids;
  std::vector<int> fields;
  std::vector<float> lats;
};

Summary summary(const CityLines& lines) {
  Summary s;
  for (const CityLine& l : lines) {
    s.ids.emplace_back(l.rec.id);
    s.fields.push_back(l.fields);
    s.lats.push_back(l.rec.lat);
  }
  return s;
}

long size_of(const std::string& path) {
  struct stat s {};
  return ::stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode) ? static_cast<long>(s.st_size) : -1;
}

class CtyCache : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(text_, kText);
    saved_xdg_ = std::getenv("XDG_CACHE_HOME") ? std::getenv("XDG_CACHE_HOME") : "";
    saved_home_ = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_CACHE_HOME", (dir_ + "/cache").c_str(), 1);
    MESS_set(0, 0);
  }
  void TearDown() override {
    CTY_reset_state();
    CTY_read_reset_state();
    ::chmod(dir_.c_str(), 0755);
    if (saved_xdg_.empty()) ::unsetenv("XDG_CACHE_HOME"); else ::setenv("XDG_CACHE_HOME", saved_xdg_.c_str(), 1);
    if (!saved_home_.empty()) ::setenv("HOME", saved_home_.c_str(), 1);
  }

  // Reads the database as a fresh run would: nothing kept in memory from before.
  Summary load(std::string* messages = nullptr) {
    CTY_cache_reset_state();
    CaptureStdout();
    CaptureStderr();
    const int h = CTY_open(text_.c_str());
    std::shared_ptr<const CityLines> lines = CTY_read_all(h);
    CTY_close(h);
    const std::string text = GetCapturedStdout() + GetCapturedStderr();
    if (messages) *messages = text;
    EXPECT_TRUE(lines != nullptr);
    return lines ? summary(*lines) : Summary{};
  }

  // Writes text over the file in place and puts the old modification time back.
  void rewrite_keeping_time(const std::string& text) {
    struct stat s {};
    ASSERT_EQ(::stat(text_.c_str(), &s), 0);
    write_file(text_, text);
    const timespec times[2] = {s.st_atim, s.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, text_.c_str(), times, 0), 0);
  }

  std::string dir_ = make_temp_dir("cty_cache");
  std::string text_ = dir_ + "/my.cty";
  std::string beside_ = dir_ + "/.my.cty.idx";
  std::string saved_xdg_, saved_home_;
};

const Summary kParsed{{"KDEN", "EGLL", "KBAD", "--"}, {10, 10, 4, 10}, {39.8617f, 51.4706f, MISSING, 34.7f}};

TEST_F(CtyCache, PathsBesideAndInTheUserCache) {
  EXPECT_EQ(CTY_cache_path("/a/b/sao.cty", true), "/a/b/.sao.cty.idx");
  EXPECT_EQ(CTY_cache_path("sao.cty", true), ".sao.cty.idx");
  EXPECT_EQ(CTY_cache_path("/a/b/", true), "");
  EXPECT_EQ(CTY_cache_path("/usr/share/stacont/data/sao.cty", true), "");  // a package's
  const std::string user = CTY_cache_path("/a/b/sao.cty", false);
  EXPECT_EQ(user.rfind(dir_ + "/cache/stacont/sao.cty-", 0), 0U) << user;
  EXPECT_EQ(user.size(), (dir_ + "/cache/stacont/sao.cty-").size() + 16 + 4);
  EXPECT_NE(user, CTY_cache_path("/a/c/sao.cty", false));
  ::unsetenv("XDG_CACHE_HOME");
  ::setenv("HOME", "/h", 1);
  EXPECT_EQ(CTY_cache_path("/a/b/sao.cty", false).rfind("/h/.cache/stacont/sao.cty-", 0), 0U);
  ::setenv("HOME", "relative", 1);
  EXPECT_EQ(CTY_cache_path("/a/b/sao.cty", false), "");
}

TEST_F(CtyCache, FirstReadParsesAndWritesTheIndexThenTheIndexIsRead) {
  std::string messages;
  Summary s = load(&messages);
  EXPECT_EQ(s.ids, kParsed.ids);
  EXPECT_EQ(s.fields, kParsed.fields);
  EXPECT_EQ(s.lats, kParsed.lats);
  EXPECT_EQ(messages, "");
  EXPECT_EQ(size_of(beside_), static_cast<long>(kHeader + 4 * kRecord));
  // Same size, same time, same inode: the index answers, with the old position.
  rewrite_keeping_time(kMoved);
  EXPECT_EQ(load().lats, kParsed.lats);
  // Any newer text is parsed again and the index follows it.
  struct timeval later[2] = {{2000000000, 0}, {2000000000, 0}};
  ASSERT_EQ(::utimes(text_.c_str(), later), 0);
  EXPECT_EQ(load().lats[0], 11.1111f);
  rewrite_keeping_time(kText);  // the index made from the newer text answers now
  EXPECT_EQ(load().lats[0], 11.1111f);
}

TEST_F(CtyCache, StoredStationsAreTheSameFromTextAndIndex) {
  DomainRec world;
  DOM_init(&world);
  world.proj = 2, world.nx = 361, world.ny = 181, world.dx = world.dy = 1.0f;
  for (int pass = 0; pass < 2; ++pass) {
    CTY_reset_state();
    CaptureStderr();
    ASSERT_GE(CTY_store(text_.c_str(), CTY_MODE_LOCATION, &world, 3), 0);
    GetCapturedStderr();
    EXPECT_EQ(CTY_count(), 2) << pass;
    StationRec st;
    ASSERT_EQ(CTY_search("EGLL", &st), 1) << pass;
    EXPECT_EQ(st.prior, 3);
    EXPECT_EQ(CTY_known("KDEN"), 1);
    EXPECT_EQ(CTY_search("b41001", &st), 0);  // priority 4: left out, yet known
    EXPECT_EQ(CTY_known("b41001"), 1);
    EXPECT_EQ(CTY_known("KXXX"), 0);
  }
  EXPECT_GT(size_of(beside_), 0);
}

// Damage done to a good index, as the rows of cty_cases.txt [index_damage] name it: the file
// cut to a length, a byte flipped, bytes written at an offset, or the file replaced by that
// many bytes of 0xa5 (offsets as sums of "header", "record" and numbers).
void damage(const std::string& path, const surface_cases::Row& r) {
  std::size_t at = 0;
  for (std::size_t b = 0, e; b < r[2].size(); b = e + 1) {
    e = std::min(r[2].find('+', b), r[2].size());
    const std::string term = r[2].substr(b, e - b);
    at += term == "header" ? kHeader : term == "record" ? kRecord : std::stoul(term);
  }
  std::string data = read_file(path);
  if (r[1] == "cut") data.resize(at);
  else if (r[1] == "flip") data[at] = static_cast<char>(data[at] ^ 0xff);
  else if (r[1] == "fill") data = std::string(at, '\xa5');
  else data.resize(std::max(data.size(), at + r[3].size())), data.replace(at, r[3].size(), r[3]);
  write_file(path, data);
}

TEST_F(CtyCache, DamagedOrForeignIndexesAreIgnoredAndRewritten) {
  load();
  const std::string good = read_file(beside_);
  ASSERT_EQ(good.size(), kHeader + 4 * kRecord);
  for (const surface_cases::Row& d : surface_cases::rows("cty_cases.txt", "index_damage")) {
    SCOPED_TRACE(d[0]);
    write_file(beside_, good);
    damage(beside_, d);
    ASSERT_FALSE(read_file(beside_) == good);
    std::string messages;
    const Summary s = load(&messages);
    EXPECT_EQ(s.ids, kParsed.ids);
    EXPECT_EQ(s.lats, kParsed.lats);
    EXPECT_EQ(messages, "");
    EXPECT_TRUE(read_file(beside_) == good);
  }
}

TEST_F(CtyCache, UnwritablePlacesFallBackToTheUserCacheThenToParsing) {
  // A directory in the index's place stops the write beside the text even for root.
  ASSERT_EQ(::mkdir(beside_.c_str(), 0755), 0);
  const std::string user = CTY_cache_path(text_, false);
  std::string messages;
  EXPECT_EQ(load(&messages).ids, kParsed.ids);
  EXPECT_EQ(messages, "");
  EXPECT_EQ(size_of(user), static_cast<long>(kHeader + 4 * kRecord));
  rewrite_keeping_time(kMoved);
  EXPECT_EQ(load().lats, kParsed.lats);  // read from the user's cache

  // Neither place writable: the text is parsed each time, without a word.
  ASSERT_EQ(::unlink(user.c_str()), 0);
  ::setenv("XDG_CACHE_HOME", "/proc/no-such-cache", 1);
  EXPECT_EQ(load(&messages).lats[0], 11.1111f);
  EXPECT_EQ(messages, "");
  EXPECT_EQ(size_of(user), -1);

  // A FIFO in the index's place is neither read (which would hang) nor written.
  ASSERT_EQ(::rmdir(beside_.c_str()), 0);
  ASSERT_EQ(::mkfifo(beside_.c_str(), 0644), 0);
  EXPECT_EQ(load(&messages).lats[0], 11.1111f);
  EXPECT_EQ(messages, "");
  ASSERT_EQ(::unlink(beside_.c_str()), 0);

  // A read-only directory, for a user the permissions bind.
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
    ::setenv("XDG_CACHE_HOME", (dir_ + "-user").c_str(), 1);
    EXPECT_EQ(load().lats[0], 11.1111f);
    EXPECT_EQ(size_of(beside_), -1);
    EXPECT_GT(size_of(CTY_cache_path(text_, false)), 0);
  }
}

TEST_F(CtyCache, AStreamIsParsedAndNothingIsWritten) {
  const std::string pipe = "|cat " + text_;
  CTY_cache_reset_state();
  const int h = CTY_open_file(pipe.c_str());
  ASSERT_GE(h, 0);
  std::shared_ptr<const CityLines> lines = CTY_read_all(h);
  CTY_close(h);
  ASSERT_TRUE(lines != nullptr);
  EXPECT_EQ(summary(*lines).ids, kParsed.ids);
  EXPECT_EQ(size_of(beside_), -1);
  EXPECT_EQ(CTY_read_all(h), nullptr);  // closed: not the open database
}

}  // namespace
