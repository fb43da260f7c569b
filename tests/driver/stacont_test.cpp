#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/support/run.h"

extern char** environ;

namespace {

const char* const help_listing = R"(stacont: This program contours surface data
stacont syntax (version:5.60-LINUX-X11)
   stacont [options...]
Keyed options...
 -df file    Resource/defaults file name
 -na name    Program name
 -h          Print this help
 -ba         Run program in batch mode
 -me level   Message level to be displayed:
               none,print,error,warn,mess,out1,*out2,out3,out4,debug
 -fp path    File path
 -dp path    Raw data path
 -cp path    Converted data path
 -gp path    Gridded data path
 -rp path    Raw files path
 -ip path    Image file path
 -wp path    Watch file data path
 -tp path    Text file path
 -mp path    Model file path
 -sp path    Satellite file path
 -cf file    City database file name
 -mf file[,file]  Map database files
 -nc type    Naming convention file name
 -if type    Input data file type
 -of type    Output file type
 -pf param   File parameters: use,calc,over,app
 -cu [hour]  Use current data file
 -ho hour    Actual hour of the file
 -nh hour[,step]  Number of hours to view
 -id ident   Specific station identifier
 -pd region or [proj],clat,clon[,nx,ny][,dx,dy]
             Output plot domain
               region=predefined region:
                  us,ne,at,se,mw,sp,nw,sw,etc
               proj=projection, clat=central latitude, clon=central longitude,
               nx,ny=number of gridpoints and dx,dy=grid spacing
 -gd region or [proj],clat,clon[,nx,ny][,dx,dy]
             Grid domain
               region=predefined region:
                  us,ne,at,se,mw,sp,nw,sw,etc
               proj=projection, clat=central latitude, clon=central longitude,
               nx,ny=number of gridpoints and dx,dy=grid spacing
 -re region or [proj],clat,clon[,nx,ny][,dx,dy]
             Region to be used for plotting and gridding
               region=predefined region:
                  us,ne,at,se,mw,sp,nw,sw,etc
               proj=projection, clat=central latitude, clon=central longitude,
               nx,ny=number of gridpoints and dx,dy=grid spacing
               us,ne,at,se,mw,sp,nw,sw,var
 -pr prior   Priority of stations used in the plot
 -va var     Variable to be plotted or contoured
 -oa smooth[,radinf,pass,conv,min]
             Objective analysis parameters
 -pl type    Plot type: cf,lcf,ln,dln,ndln,value,none
 -sc scale   Text and wind vector scale factor
 -fm format  Numeric format
 -pp param   Plot parameters
 -dr param[,...]  Draw components: text,data,sum,map,none
 -la label   Plot labels
 -in intrvl  Contour interval
 -cb base    Color fill contour/vector base value
 -fl list    List of fonts to use
 -ct file    Color table file name
 -cot clr    Text color
 -cod clr    Data plotting color
 -com clr    line map color
 -cogr clr   grid color
 -coln clr   Lat-lon line color
 -cofr hclr,lclr,cclr,wclr,oclr,tclr  Front colors
 -cowd clr   Wind barb colors
 -cocd clr   Cloud cover symbol colors
 -cowx clr   Weather symbol colors
 -cocm clr   Fill map color
 -coco clr   Line contour color
 -cof clr[,...]  Fill contour colors
 -cola clr   Line label color
 -cocl clr   Fill label color
 -de dev[,name]  Output device: d,p,q,w,m
 -ti title   Window title
 -ic         Open window iconified
 -bg clr     Background color
 -ge wxh+x+y  Window geometry
Positional options...
 file [file...]  Input file names
)";

const char* const banner = "      SURFACE DATA CONTOURING (Ver 5.60-LINUX-X11)\n\n";

// Equality of long texts, reporting where they first differ.
::testing::AssertionResult same(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  std::size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  std::size_t from = i < 40 ? 0 : i - 40;
  return ::testing::AssertionFailure() << "texts differ at " << i << " (sizes " << got.size() << ", " << want.size()
                                       << ")\n got: ..." << got.substr(from, 100) << "\nwant: ..."
                                       << want.substr(from, 100);
}

// Runs the program with no zav* variables of the caller and no resource files.
RunResult run(const std::vector<std::string>& args, std::map<std::string, std::string> extra = {}) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "zav", 3) == 0) env[std::string(*e, std::strcspn(*e, "="))] = "";
  std::string dir = make_temp_dir("stacont");
  env["zavdefault"] = dir;
  for (auto& [k, v] : extra) env[k] = v;
  return run_stacont(args, "", env, dir, 120);
}

struct HelpCase {
  std::vector<std::string> args;
  std::map<std::string, std::string> env;
};

class HelpListing : public ::testing::TestWithParam<HelpCase> {};

TEST_P(HelpListing, PrintsListingAndExits) {
  RunResult r = run(GetParam().args, GetParam().env);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(same(r.out, help_listing));
  EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(Stacont, HelpListing,
                         ::testing::Values(HelpCase{{"-h"}, {}}, HelpCase{{"-help"}, {}}, HelpCase{{"--he"}, {}},
                                           HelpCase{{"-HeLp"}, {}}, HelpCase{{"-ba", "-h", "-va", "t"}, {}},
                                           HelpCase{{}, {{"zavhelp", "1"}}},
                                           HelpCase{{"-h"}, {{"zavdefault", "/nonexistent:+tag:"}}}));

TEST(Stacont, QuietLevelsSilenceTheListing) {
  RunResult r = run({"-me", "none", "-h"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

struct BannerCase {
  std::vector<std::string> args;
  bool shown;
};

class Banner : public ::testing::TestWithParam<BannerCase> {};

// Front input ends the program right after the banner.
TEST_P(Banner, ShownUnlessQuiet) {
  std::vector<std::string> args = GetParam().args;
  args.insert(args.end(), {"-if", "front"});
  RunResult r = run(args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, GetParam().shown ? banner : "");
}

INSTANTIATE_TEST_SUITE_P(Stacont, Banner,
                         ::testing::Values(BannerCase{{}, true},
                                           // Batch mode shows print, error and warn only...
                                           BannerCase{{"-ba"}, false},
                                           // ...unless the level was given.
                                           BannerCase{{"-ba", "-me", "mess"}, true},
                                           BannerCase{{"-me", "mess", "-ba"}, true}, BannerCase{{"-me", "warn"}, false},
                                           BannerCase{{"-in_file", "sfc,forfront"}, true}));

TEST(Stacont, InputKindFromEveryValue) {
  RunResult r = run({"-ba", "-me", "mess"}, {{"zavinfile", "front"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(same(r.out, banner));
  // The last value wins: surface input goes on to ask for the input file.
  r = run({"-if", "front,sfc"});
  EXPECT_EQ(r.out.rfind(banner, 0), 0u);
  EXPECT_GT(r.out.size(), std::strlen(banner));
}

// Hostile command lines: each must end normally, well within the time limit.
struct HostileCase {
  const char* label;
  std::vector<std::string> (*make)();
};

class Hostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(Hostile, NeitherCrashesNorHangs) {
  std::vector<std::string> args = GetParam().make();
  args.insert(args.end(), {"-if", "front"});
  RunResult r = run(args);
  EXPECT_EQ(r.status, 0) << r.err.substr(0, 500);
  EXPECT_TRUE(same(r.out, banner));
  // With help the listing comes out unchanged.
  args.push_back("-h");
  r = run(args);
  EXPECT_EQ(r.status, 0) << r.err.substr(0, 500);
  EXPECT_TRUE(same(r.out, help_listing));
}

// One argument may hold at most 128 KiB on Linux.
const std::string big(100 * 1024, 'x');
const std::string half(60 * 1024, 'x');

using Args = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Stacont, Hostile,
    ::testing::Values(
        HostileCase{"LoneDash", [] { return Args{"-"}; }}, HostileCase{"DoubleDash", [] { return Args{"--"}; }},
        HostileCase{"Equals", [] { return Args{"="}; }}, HostileCase{"DashEquals", [] { return Args{"-="}; }},
        HostileCase{"DoubleDashEquals", [] { return Args{"--=x"}; }},
        HostileCase{"Dashes", [] { return Args{"--", "--", "-", "--", "---", "-0"}; }},
        HostileCase{"BigValue", [] { return Args{"-va", big}; }},
        HostileCase{"BigName", [] { return Args{"-" + big}; }},
        HostileCase{"BigNameAndValue", [] { return Args{"-" + half + "=" + half}; }},
        HostileCase{"BigValueAfterEquals", [] { return Args{"-va=" + big}; }},
        HostileCase{"BigTexts", [] { return Args{"-la", big, "-ti", big, "-fm", big}; }},
        HostileCase{"BigHour", [] { return Args{"-ho", big}; }},
        HostileCase{"HugeHourNumber", [] { return Args{"-ho", std::string(50000, '9')}; }},
        HostileCase{"LongHourDate", [] { return Args{"-ho", "#" + std::string(5000, '1')}; }},
        HostileCase{"BigDraw", [] { return Args{"-dr", big}; }},
        HostileCase{"ManyDrawWords", [] {
                      std::string s;
                      for (int i = 0; i < 5000; ++i) s += i % 2 ? "+map," : "-text_ul,";
                      return Args{"-dr", s};
                    }},
        HostileCase{"BigPlotType", [] { return Args{"-pl", big}; }},
        HostileCase{"BigDevice", [] { return Args{"-de", "p," + big}; }},
        HostileCase{"BigFileParam", [] { return Args{"-pf", big}; }},
        HostileCase{"BigDefaultList", [] { return Args{"-df", big}; }},
        HostileCase{"ManyDefaultEntries", [] {
                      std::string s;
                      for (int i = 0; i < 3000; ++i) s += "+t" + std::to_string(i) + ":/nonexistent" + std::to_string(i) + ":";
                      return Args{"-df", s};
                    }},
        HostileCase{"BigLoopWindow", [] { return Args{"-df", "#" + big}; }},
        HostileCase{"BigTitle", [] { return Args{"-na", big}; }},
        HostileCase{"BigNegativeNumber", [] { return Args{"-sc", "-" + big}; }},
        HostileCase{"ManyPositional", [] {
                      Args v;
                      for (int i = 0; i < 10000; ++i) v.push_back("file" + std::to_string(i));
                      return v;
                    }},
        HostileCase{"ManyUnknownOptions", [] {
                      Args v;
                      for (int i = 0; i < 5000; ++i) v.push_back("-opt" + std::to_string(i) + "=" + std::to_string(i));
                      return v;
                    }}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.label); });

}  // namespace
