// End-to-end runs of the program: grid files in every output format checked against an
// analysis worked out here from the analysis formula, reuse of existing grids, file
// sequences, unwritable grid paths, damaged existing files, device nodes named as output,
// and the installed program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/grd_read.h"
#include "analysis/grd_tool.h"
#include "config/system.h"
#include "plot/region.h"
#include "tests/support/barnes.h"
#include "tests/support/e2e.h"

namespace {

namespace fs = std::filesystem;
const std::string kHourFile = "2026031412.sfc";

// Tools are found on the PATH.
RunResult tool(const std::string& name, std::vector<std::string> args, int timeout_s = 30) {
  args.insert(args.begin(), name);
  return run_program("/usr/bin/env", args, "", {}, "", timeout_s);
}

// Values of one variable as ncdump prints them ("_" is the fill value).
std::vector<float> ncdump_values(const std::string& file, const std::string& var) {
  const std::string out = tool("ncdump", {"-v", var, file}).out;
  const std::size_t at = out.find(" " + var + " =", out.find("\ndata:"));
  std::vector<float> values;
  if (at == std::string::npos) return values;
  std::string body = out.substr(at + var.size() + 3);
  std::replace(body.begin(), body.end(), ',', ' ');
  std::istringstream words(body.substr(0, body.find(';')));
  for (std::string w; words >> w;) values.push_back(w == "_" ? -9999.0f : std::stof(w));
  return values;
}

// Four Colorado stations with temperatures of our choosing, on a latitude-longitude grid
// of 11 x 7 points one degree apart centred at 39 N 106 W. The positions are those of the
// station database (data/sao.cty); the report lines are the sample's with the temperature
// (tenths of a degree Fahrenheit) replaced (tests/data/driver/colorado.sfc).
const char* const kStationsDomain = "ll,39,-106,11,7,1";
constexpr int kNx = 11, kNy = 7;

// The analysis the program makes of them with its defaults.
std::vector<float> expected_analysis() {
  return default_analysis({{38.8058, -104.7010, 45.0}, {39.8617, -104.6730, 40.0}, {39.1267, -108.5294, 60.0},
                           {38.2891, -104.4970, 50.0}},
                          kNx, kNy, 39.0, -106.0);
}

class StacontE2E : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    write_file(dir_ + "/" + kHourFile, data_file("colorado.sfc"));
  }
  // The temperature analysis of the four stations; every station kept (-pr 9).
  RunResult run(const std::string& of, const std::string& grid_path, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-ba", "-me", "mess", "-fp", kData, "-pd", kStationsDomain, "-pr", "9",
                                     "-va", "temp", "-of", of, "-gp", grid_path};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(dir_ + "/" + kHourFile);
    return run_stacont(args, "", env_, dir_, 60);
  }
  static inline const std::vector<float> reference_ = expected_analysis();
};

void expect_close(const std::vector<float>& got, const std::vector<float>& want, double rel) {
  ASSERT_EQ(got.size(), want.size());
  int bad = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    const bool ok = want[i] == -9999.0f ? got[i] == -9999.0f
                                        : std::fabs(got[i] - want[i]) <= rel * std::max(1.0f, std::fabs(want[i]));
    if (!ok && ++bad <= 10) ADD_FAILURE() << "value " << i << ": " << got[i] << " want " << want[i];
  }
  EXPECT_EQ(bad, 0);
}

// The date labels follow the time zone given in zavtz.
TEST_F(StacontE2E, NetcdfGridHasTheLayoutAndTheAnalysedValues) {
  env_["zavtz"] = "-EST:-5";
  const RunResult r = run("cdf", dir_ + "/grids");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string file = dir_ + "/grids/2026031412_temp.nc";
  EXPECT_NE(r.out.find("Fitting to grid...\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Creating grid file: " + file + "\n"), std::string::npos) << r.out;

  const RunResult h = tool("ncdump", {"-h", file});
  ASSERT_EQ(h.status, 0) << h.err;
  // The skeleton (dimensions, declarations in order, global attributes) is fixed: the
  // file's header as ncdump -h prints it, less the attributes of each variable.
  std::string skeleton;
  std::istringstream lines(h.out);
  for (std::string l; std::getline(lines, l);)
    if (l.rfind("\t\t", 0) != 0 || l[2] == ':') skeleton += l + "\n";
  EXPECT_EQ(skeleton, data_file("temp_grid_header.cdl"));
  // (The attributes of each variable are the grid writer's own tests'.)
  expect_close(ncdump_values(file, "values"), reference_, 1e-5);
  expect_close(ncdump_values(file, "lat1"), {39.0f}, 1e-6);
  expect_close(ncdump_values(file, "lon1"), {-106.0f}, 1e-6);
  const RunResult dump = tool("ncdump", {"-v", "datim", file});
  EXPECT_NE(dump.out.find("\"Analysis for 7 AM EST [12Z] 14 MAR 26\""), std::string::npos) << dump.out;
}

// A relative grid path names the folder the grids go to, as an absolute one does; with
// -pf use the grid found there is read back instead of analysed again, with -pf over it is
// analysed again.
TEST_F(StacontE2E, RelativeGridPathIsTheFolderAndExistingGridsAreReused) {
  RunResult r = run("cdf", "grids");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string file = dir_ + "/grids/2026031412_temp.nc";
  EXPECT_FALSE(fs::exists(dir_ + "/grids/grids"));
  const std::vector<float> written = ncdump_values(file, "values");
  ASSERT_FALSE(written.empty());
  r = run("cdf", "grids", {"-pf", "use"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("Fitting to grid..."), std::string::npos) << r.out;
  EXPECT_EQ(ncdump_values(file, "values"), written);
  r = run("cdf", "grids", {"-pf", "over"});
  EXPECT_NE(r.out.find("Fitting to grid..."), std::string::npos) << r.out;
}

// Package grid files with text and with binary values read back to the same grid.
TEST_F(StacontE2E, PackageGridFilesReadBackEqual) {
  for (const char* of : {"zav", "zavb"}) {
    const std::string out = dir_ + "/" + of;
    const RunResult r = run(of, out);
    ASSERT_EQ(r.status, 0) << of << r.err;
    const std::string file = out + "/2026031412_temp.grd";
    const std::string bytes = read_file(file);
    ASSERT_EQ(bytes.rfind("ZAVGRID\n", 0), 0u) << of;
    const bool binary = std::strcmp(of, "zavb") == 0;
    EXPECT_NE(bytes.find(binary ? "\n3-" : "\n2-"), std::string::npos);
    int type = 0, pos = 0;
    const int fd = GRD_open(file.c_str(), 0, &type);
    ASSERT_GE(fd, 0) << of;
    EXPECT_EQ(type, 2);
    GridRec g{};
    ASSERT_EQ(GRD_read(fd, &g, 0, &pos), 0) << of;
    GRD_close(fd);
    EXPECT_TRUE(g.domain.proj == PROJ_LL && g.domain.clat == 39.0f && g.domain.clon == -106.0f && g.domain.nx == kNx &&
                g.domain.ny == kNy && g.domain.dx == 1.0f)
        << of;
    ASSERT_NE(g.values, nullptr);
    // Both forms hold the analysis (the program's single-precision distances allow for
    // a few units in the sixth digit).
    expect_close(std::vector<float>(g.values, g.values + g.domain.nx * g.domain.ny), reference_, 1e-5);
    GRD_free(&g);
  }
}

TEST_F(StacontE2E, HourSequenceWritesOneGridPerHour) {
  const std::string out = dir_ + "/seq";
  const RunResult r = run_stacont(sample_args("temp", {"-nh", "6", "-of", "cdf", "-gp", out}), "", env_, dir_, 120);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 7);
  for (int h = 12; h <= 18; ++h) EXPECT_TRUE(fs::exists(out + "/20260314" + std::to_string(h) + "_temp.nc")) << h;
  // Hours differ: the sequence does not write one file seven times.
  EXPECT_NE(ncdump_values(out + "/2026031418_temp.nc", "values"), ncdump_values(out + "/2026031412_temp.nc", "values"));
}

TEST_F(StacontE2E, UnwritableGridPathIsReportedAndLeavesNoFile) {
  write_file(dir_ + "/plain", "a regular file\n");
  // A regular file where a directory should be stops the superuser too.
  const std::string gp = dir_ + "/plain/grids";
  for (const char* of : {"cdf", "zav"}) {
    const RunResult r = run(of, gp);
    const std::string file = gp + (std::strcmp(of, "cdf") == 0 ? "/2026031412_temp.nc" : "/2026031412_temp.grd");
    // The run ends with the status that tells a batch job its output is missing.
    EXPECT_EQ(r.status, ZAV_STATUS_OUTPUT) << r.err;
    EXPECT_NE(r.err.find("GRD_save_file: Unable to create grid file: " + file + "\n"), std::string::npos)
        << of << "\n" << r.out << r.err;
    EXPECT_EQ(r.out.find("Creating grid file"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(file));
  }
}

// An existing grid file that is damaged is kept under -pf use (the batch default), the
// run says what is wrong with it and ends with the output status: a batch job must see that
// its grid was not written. A netCDF header claiming 0x43000000 dimensions in 13 bytes
// made the program loop before the header was checked.
TEST_F(StacontE2E, DamagedExistingGridFileIsNamedAndFailsTheRun) {
  const std::string out = dir_ + "/grids", nc = out + "/2026031412_temp.nc", grd = out + "/2026031412_temp.grd";
  fs::create_directories(out);
  const std::string absurd("CDF\x01\0\0\0\0\0\0\0\x0a\x43", 13);
  const struct { const char* of; std::string file, bytes, message; } cases[] = {
      {"cdf", nc, absurd,
       "GRD_read_check: Unable to read grid file: " + nc + ": damaged file: the file ends inside its header\n"},
      {"cdf", nc, "not a grid", "GRD_read_check: Not a grid file of a known type: " + nc + "\n"},
      {"zav", grd, "ZAVGRID\nlabel\n2-T\n", "GRD_read_check: No grid can be read from grid file: " + grd + "\n"},
  };
  for (const auto& c : cases) {
    write_file(c.file, c.bytes);
    const RunResult r = run(c.of, out, {});
    EXPECT_EQ(r.status, ZAV_STATUS_OUTPUT) << r.err;
    EXPECT_NE(r.err.find(c.message + "GRD_save_file: Unable to overwrite grid file: " + c.file + "\n"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("does not exist"), std::string::npos) << r.err;
    EXPECT_EQ(read_file(c.file), c.bytes);
    fs::remove(c.file);
  }
}

// A surface file whose netCDF header claims an absurd dimension count (85 bytes) crashed
// the program inside the library; it is reported as damaged and the run ends with the
// input status.
TEST_F(StacontE2E, DamagedNetcdfSurfaceFileIsReported) {
  std::string bytes = std::string("CDF\x01\0\0\0\0\0\0\0\x0a\x43\0\0\0", 16) + std::string(69, '\x01');
  const std::string file = dir_ + "/bad.nc";
  write_file(file, bytes);
  const RunResult r = run_stacont({"-ba", "-fp", kData, "-pd", kStationsDomain, "-va", "temp", file}, "", env_, dir_, 60);
  EXPECT_EQ(r.status, ZAV_STATUS_INPUT) << r.err;
  EXPECT_EQ(r.err, "SFC_chktype: Unable to read netCDF file " + file +
                       ": damaged file: the header claims 1124073472 dimensions, more than a file of 85 bytes can hold\n"
                       "SFC_open_file: Unable to open file:" + file + "\n");
}

// With -pf over and a grid file name that is a device node (the numbers of /dev/full,
// where every write fails), the failed write leaves the node alone.
TEST_F(StacontE2E, FailedGridWriteLeavesADeviceNodeInPlace) {
  const std::string out = dir_ + "/grids";
  fs::create_directories(out);
  for (const char* of : {"cdf", "zav", "cf"}) {
    const std::string node = out + (std::strcmp(of, "zav") == 0 ? "/2026031412_temp.grd" : "/2026031412_temp.nc");
    if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0 && errno != EEXIST) GTEST_SKIP() << "mknod not permitted";
    const RunResult r = run(of, out, {"-pf", "over"});
    EXPECT_EQ(r.status, ZAV_STATUS_OUTPUT) << of << r.err;
    EXPECT_NE(r.err.find("GRD_save_file: Unable to create grid file: " + node + "\n"), std::string::npos) << r.err;
    struct stat st {};
    ASSERT_EQ(::lstat(node.c_str(), &st), 0) << of << ": the device node was removed";
    EXPECT_TRUE(S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 7)) << of;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 2);  // no temporary file left either
}

// Slips in a batch job are named, not passed over: an option nothing reads (with the
// nearest known one), a bad number of hours, a bad number in a plot format, a device word
// the program does not know, a domain where no report of the variable lies.
TEST_F(StacontE2E, BatchSlipsAreNamed) {
  for (const auto& c : data_table("batch_slips.tsv")) {
    ASSERT_EQ(c.size(), 3u);
    std::vector<std::string> args = sample_args("temp", {"-de", "png," + dir_ + "/x.png"});
    for (const std::string& w : words(c[0])) args.push_back(w);
    const RunResult r = run_stacont(args, "", env_, dir_, 60);
    EXPECT_EQ(r.status, std::stoi(c[1])) << c[0];
    EXPECT_EQ(r.err, c[2]) << c[0];
  }
  run_stacont(sample_args("temp", {"-de", "p," + dir_ + "/x.ps"}, "#2026031412", "ps:60:100,50,100,25,17,1,1"), "",
              env_, dir_, 60);
  EXPECT_EQ(read_file(dir_ + "/x.ps").find(" LO:"), std::string::npos);  // no extremes of nothing
}

// The installed program, in a new prefix (with a blank in it) and run from elsewhere with
// no resource file of the user's, finds its resource file and data beside itself and
// nothing of the tree it was built in: the sample moves under a name only the installed
// naming conventions know. Then the user's resource file and environment have the last word.
TEST_F(StacontE2E, InstalledProgramFindsItsData) {
  const std::string prefix = dir_ + "/new prefix";
  const std::string build = fs::path(STACONT_BINARY).parent_path().string();
  const RunResult inst = tool("cmake", {"--install", build, "--prefix", prefix}, 120);
  ASSERT_EQ(inst.status, 0) << inst.out << inst.err;
  const std::string data = prefix + "/zav/data";
  fs::rename(data + "/sample", data + "/moved-sample");
  std::string conv = read_file(data + "/name_conv");
  const std::string line = "sfc_sample    %F/sample/";
  ASSERT_NE(conv.find(line), std::string::npos);
  conv.replace(conv.find(line), line.size(), "sfc_sample    %F/moved-sample/");
  write_file(data + "/name_conv", conv);
  EXPECT_EQ(read_file(prefix + "/share/man/man1/stacont.1.gz").substr(0, 2), "\x1f\x8b");

  const std::string elsewhere = make_temp_dir("stacont_elsewhere");
  std::map<std::string, std::string> env = clean_env("");
  env["zavdefault"] = "";  // the program's own list of resource files
  auto run_installed = [&](const std::string& grids) {
    return run_program(prefix + "/bin/stacont",
                       {"-ba", "-me", "mess", "-if", "sfc_sample", "-cu", "#2026031412", "-pd", "us", "-va", "temp",
                        "-of", "cdf", "-gp", elsewhere + "/" + grids},
                       "", env, elsewhere, 60);
  };
  const RunResult r = run_installed("grids");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Current filename: " + data + "/moved-sample/" + kHourFile + "\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Date: 12Z 14 MAR 26\n"), std::string::npos) << r.out;
  // The same analysis as the program of the build tree makes of the same file.
  const RunResult here = run_stacont(sample_args("temp", {"-of", "cdf", "-gp", dir_ + "/grids"}), "", env_, dir_, 60);
  ASSERT_EQ(here.status, 0) << here.err;
  const std::vector<float> installed = ncdump_values(elsewhere + "/grids/2026031412_temp.nc", "values");
  EXPECT_GT(installed.size(), 100u);
  EXPECT_EQ(installed, ncdump_values(dir_ + "/grids/2026031412_temp.nc", "values"));

  // A resource file in the working directory is read after the package's: its file_path
  // (which holds no sample) wins. The environment wins over both.
  write_file(elsewhere + "/zav.cfg", "*.file_path " + elsewhere + "\n");
  EXPECT_EQ(run_installed("g2").status, ZAV_STATUS_INPUT);
  env["zavfile"] = data;
  EXPECT_EQ(run_installed("g3").status, 0);
  fs::remove_all(elsewhere);
}

}  // namespace
