#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "config/flag.h"
#include "config/mess.h"
#include "config/resrc.h"
#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_dev.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"

extern char** environ;

// Inputs also name commands ("|command" wherever a file name is taken): a fuzzer must never
// run what it made up, so the process's own popen and system refuse every command.
extern "C" std::FILE* popen(const char*, const char*) {
  errno = EPERM;
  return nullptr;
}
extern "C" int pclose(std::FILE*) { return -1; }
extern "C" int system(const char* command) { return command == nullptr ? 0 : -1; }

namespace fuzz {
namespace {

struct State {
  bool ready = false;
  bool recorder = false;
  std::string dir;
};
State state;

void remove_dir() {
  std::error_code ignored;
  if (!state.dir.empty()) std::filesystem::remove_all(state.dir, ignored);
}

}  // namespace

void init() {
  if (state.ready) return;
  state.ready = true;
  // None of the user's settings: every "zav..." variable goes.
  std::vector<std::string> names;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "zav", 3) == 0) names.emplace_back(*e, std::strcspn(*e, "="));
  for (const std::string& n : names) unsetenv(n.c_str());
  setenv("DISPLAY", "", 1);
  const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  state.dir = std::string(base) + "/stacont_fuzz_" + std::to_string(getpid());
  std::filesystem::create_directories(state.dir);
  std::atexit(remove_dir);
  // Inputs name files to write (a message log, a directory to make): relative names land in
  // the process's folder, never in the tree the fuzzer was started from.
  if (chdir(state.dir.c_str()) != 0) std::abort();
  reset();
}

void reset() {
  setenv("zavdefault", (state.dir + "/no_resources").c_str(), 1);
  RES_clear();
  FLAG_reset(-9999);
  FLAG_set(FLAG_BATCH, 1);
  MESS_reset();
  // Every message of the usual levels is still formatted (a bad format or argument shows
  // under the sanitizers), only not printed.
  MESS_set_out(0);
  RES_put("file_path", STACONT_DATA_DIR);
}

const std::string& dir() { return state.dir; }

std::string write_file(const char* name, const std::uint8_t* data, std::size_t size) {
  const std::string path = state.dir + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}

std::string write_file(const char* name, std::string_view text) {
  return write_file(name, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void open_recorder() {
  if (state.recorder) {
    gdev_clear_calls();
    return;
  }
  state.recorder = true;
  gopen_gks(nullptr, 0);
  gset_redraw(0);
  gset_display_optional(1);
  gdev_register(WS_PS, gdev_recorder());
  if (gopen_ws(1, "", WS_PS) != 0) std::abort();
  CLR_read_table(STACONT_DATA_DIR "/zav.clr");
  for (int i = 0; i < CLR_get_num(); ++i) {
    float c[3];
    CLR_get_rgb(i, &c[0], &c[1], &c[2]);
    gset_colr_rep(1, i, c);
  }
  const float vp[4] = {0.02f, 0.98f, 0.02f, 0.74f};
  GPH_view(2, vp);
  gdev_clear_calls();
}

}  // namespace fuzz
