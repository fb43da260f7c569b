// A private X server for the window tests, programs run beside the test, and the test's
// own look at the server: windows found by name, their pictures read back, and keys and
// pointer actions sent through the XTEST extension as a user would make them.
#pragma once
// gtest before Xlib: Xlib defines names (None, Bool) that gtest uses.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/program.h"
#include "tests/support/run.h"

// Xvfb on a free display number of its own (the server chooses it), with one screen of
// the given depth; DISPLAY points at it while the object lives and is restored after.
class Xvfb {
 public:
  explicit Xvfb(int depth = 24, const std::string& size = "1280x1024");
  ~Xvfb();
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;
  bool ok() const { return server_ != nullptr; }
  const std::string& display() const { return display_; }
  const std::string& why() const { return why_; }
  // Stops the server (the programs still connected to it lose their display).
  void stop();

 private:
  std::unique_ptr<Background> server_;
  std::string display_;
  std::string why_;
  std::string old_display_;
  bool had_display_ = false;
};

// The path of the Xvfb program, "" when it is not installed.
std::string xvfb_program();

// ---- the test's own connection ----

struct XPicture {
  int width = 0, height = 0;
  std::vector<unsigned> rgb;  // 0xRRGGBB, rows from the top
  unsigned at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
  bool empty() const { return rgb.empty(); }
};

// A top-level window whose name begins with prefix; 0 when none appears within timeout_s.
Window find_window(Display* d, const std::string& prefix, double timeout_s = 20.0);
std::string window_name(Display* d, Window w);
// The picture of a drawable (a window or a pixmap) as RGB (TrueColor visuals).
XPicture grab(Display* d, Drawable w);
// Moves the pointer to x, y of the window, and presses keys through XTEST.
void pointer_to(Display* d, Window w, int x, int y);
// A key by its keysym name ("Return", "z"), with Alt (Mod1) and/or Shift held.
void press_key(Display* d, const char* keysym, bool alt = false, bool shift = false);
// Sends the client message of format 8 with first byte code, as the loop program does.
void send_client(Display* d, Window w, int code);

// A test of the real program on a private X server: the server, the test's own connection
// to it (errors about windows that went away are ignored: they are failed expectations,
// not the test's end), and the program test's folder and environment, which names the
// server's display. Skipped where Xvfb is not installed.
class WindowProgramTest : public ProgramTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::unique_ptr<Xvfb> server_;
  Display* me_ = nullptr;
};
