#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "tests/support/run.h"

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
 -bc k[,min]|off  Buddy check: reject reports k spreads off (4) or off
 -cv on|off  Print the leave-one-out error of every pass
 -lim file|none  Gross limits table of the reports, or none
 -pl type    Plot type, one of:
               cf,lcf,ln,dln,ndln,value,gvalue,none,raw,vect,barb,strm,stream,
               an,number,pm,stuve,skewt,ema,teph,rteph,hodo
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
 -de dev[,name]  Output device: d,p,q,w,m,r,png,pdf,svg,ogr
 -ti title   Window title
 -ic         Open window iconified
 -bg clr     Background color
 -ge wxh+x+y  Window geometry
Positional options...
 file [file...]  Input file names
)";

const char* const banner = "      SURFACE DATA CONTOURING (Ver 5.60-LINUX-X11)\n\n";

// Runs the program with no zav* variables of the caller and no resource files.
RunResult run(std::vector<std::string> args, std::map<std::string, std::string> extra = {}) {
  const std::string dir = make_temp_dir("stacont");
  std::map<std::string, std::string> env = clean_env(dir);
  for (auto& [k, v] : extra) env[k] = v;
  return run_stacont(args, "", env, dir, 120);
}

using Args = std::vector<std::string>;

// Help, banner and the input kind: front input ends the program right after the banner.
TEST(Stacont, HelpAndBanner) {
  const struct {
    Args args;
    std::map<std::string, std::string> env;
    const char* out;
  } t[] = {
      {{"--he"}, {}, help_listing},
      {{"-ba", "-HeLp", "-va", "t"}, {}, help_listing},
      {{}, {{"zavhelp", "1"}}, help_listing},
      {{"-h"}, {{"zavdefault", "/nonexistent:+tag:"}}, help_listing},
      {{"-me", "none", "-h"}, {}, ""},
      {{"-if", "front"}, {}, banner},
      {{"-ba", "-if", "front"}, {}, ""},  // batch mode shows print, error and warn only...
      {{"-ba", "-me", "mess", "-if", "front"}, {}, banner},  // ...unless the level was given
      {{"-me", "warn", "-if", "front"}, {}, ""},
      {{"-in_file", "sfc,forfront"}, {}, banner},
      {{"-ba", "-me", "mess"}, {{"zavinfile", "front"}}, banner},
  };
  for (const auto& e : t) {
    SCOPED_TRACE(::testing::Message() << "case " << &e - t);
    const RunResult r = run(e.args, e.env);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, e.out);
    EXPECT_EQ(r.err, "");
  }
  // The last input value wins: surface input goes on to ask for the input file.
  const RunResult r = run({"-if", "front,sfc"});
  EXPECT_EQ(r.out.rfind(banner, 0), 0u);
  EXPECT_GT(r.out.size(), std::strlen(banner));
}

// Hostile command lines neither crash nor hang, and with help the listing comes out
// unchanged.
TEST(Stacont, HostileCommandLines) {
  const std::string big(100 * 1024, 'x');  // one argument may hold at most 128 KiB on Linux
  const std::string half(60 * 1024, 'x');
  std::string draw, defaults;
  for (int i = 0; i < 5000; ++i) draw += i % 2 ? "+map," : "-text_ul,";
  for (int i = 0; i < 3000; ++i) defaults += "+t" + std::to_string(i) + ":/nonexistent" + std::to_string(i) + ":";
  Args positional, unknown;
  for (int i = 0; i < 10000; ++i) positional.push_back("file" + std::to_string(i));
  for (int i = 0; i < 5000; ++i) unknown.push_back("-opt" + std::to_string(i) + "=" + std::to_string(i));
  const std::vector<std::pair<const char*, Args>> t = {
      {"dashes and equals", {"-", "--", "=", "-=", "--=x", "---", "-0"}},
      {"big name", {"-" + big}},
      {"big name and value", {"-" + half + "=" + half}},
      {"big texts", {"-va=" + big, "-la", big, "-ti", big, "-fm", big}},
      {"big hour", {"-ho", big}},
      {"huge hour number", {"-ho", std::string(50000, '9')}},
      {"long hour date", {"-ho", "#" + std::string(5000, '1')}},
      {"big draw", {"-dr", big}},
      {"many draw words", {"-dr", draw}},
      {"big plot type and device", {"-pl", big, "-de", "p," + big}},
      {"big file parameter", {"-pf", big}},
      {"big defaults list", {"-df", big}},
      {"many defaults entries", {"-df", defaults}},
      {"big loop window", {"-df", "#" + big}},
      {"big program name", {"-na", big}},
      {"big negative number", {"-sc", "-" + big}},
      {"many positional", positional},
      {"many unknown options", unknown},
  };
  for (const auto& [label, hostile] : t) {
    Args args = hostile;
    args.insert(args.end(), {"-if", "front"});
    RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << label << ": " << r.err.substr(0, 500);
    EXPECT_EQ(r.out, banner) << label;
    args.push_back("-h");
    r = run(args);
    EXPECT_EQ(r.status, 0) << label << ": " << r.err.substr(0, 500);
    EXPECT_EQ(r.out, help_listing) << label;
  }
}

// A single named input file that is missing ends the program with status 10 before any
// domain or variable is asked for; in a sequence the missing hours are reported and skipped,
// and a sequence without a single readable hour ends with status 10.
TEST(Stacont, MissingInputFile) {
  const std::string data = make_temp_dir("stacont-data");
  write_file(data + "/1998010512.sfc", "ZAVSFC\n12Z  5 JAN 98\n");
  const std::string missing = "File not found: " + data + "/1998010513.sfc\n";
  // The hour that opens holds no report: its map says so instead of showing extremes.
  const std::string none = "No values on the grid of Temperature (F): no report of it reaches this domain\n";
  // Hours of a sequence that cannot be opened are reported and skipped.
  auto skipped = [&](std::initializer_list<int> hours) {
    std::string s;
    for (int h : hours) s += "SFC_open_file: Unable to open file:" + data + "/19980105" + std::to_string(h) + ".sfc\n";
    return s;
  };
  const struct {
    Args args;
    int status;
    std::string err;
  } t[] = {
      {{"-ba", "-cp", data, "1998010513.sfc"}, 10, missing},
      {{"-cp", data, "1998010513.sfc"}, 10, missing},
      {{"-ba", "-cp", data, "1998010513.sfc", "-nh", "2", "-pd", "us", "-va", "t"}, 10,
       missing + skipped({13, 14, 15}) + "No surface file of the sequence could be read\n"},
      {{"-ba", "-cp", data, "1998010511.sfc", "-nh", "2", "-pd", "us", "-va", "t"}, 0,
       "File not found: " + data + "/1998010511.sfc\n" + skipped({11}) + none + skipped({13})},
      {{"-ba", "-cp", data, "1998010513.sfc", "1998010512.sfc", "-pd", "us", "-va", "t"}, 0, skipped({13}) + none},
      {{"-ba", "-cp", data, "1998010512.sfc", "-pd", "us", "-va", "t"}, 0, none},
  };
  for (const auto& e : t) {
    SCOPED_TRACE(::testing::Message() << "case " << &e - t);
    const RunResult r = run(e.args);
    EXPECT_EQ(r.status, e.status);
    EXPECT_EQ(r.err, e.err);
  }
}

}  // namespace
