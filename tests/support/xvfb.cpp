#include "tests/support/xvfb.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

double seconds_since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

std::string xvfb_program() {
  for (const char* p : {"/usr/bin/Xvfb", "/usr/local/bin/Xvfb"})
    if (access(p, X_OK) == 0) return p;
  return "";
}

Xvfb::Xvfb(int depth, const std::string& size) {
  const char* old = std::getenv("DISPLAY");
  had_display_ = old != nullptr;
  if (old != nullptr) old_display_ = old;
  const std::string program = xvfb_program();
  if (program.empty()) {
    why_ = "Xvfb is not installed (scripts/install-deps.sh installs it)";
    return;
  }
  // The server picks a free display number and writes it to its output when it is ready.
  server_ = std::make_unique<Background>(program, std::vector<std::string>{"-displayfd", "1", "-screen", "0", size + "x" + std::to_string(depth), "-nolisten", "tcp", "-noreset"});
  const auto start = std::chrono::steady_clock::now();
  std::string out;
  while ((out = server_->output()).find('\n') == std::string::npos && server_->running() && seconds_since(start) < 20.0) sleep_ms(20);
  if (out.find('\n') == std::string::npos) {
    server_.reset();
    why_ = "Xvfb did not start";
    return;
  }
  display_ = ":" + out.substr(0, out.find('\n'));
  setenv("DISPLAY", display_.c_str(), 1);
}

// Asked to end, the server removes its lock file and socket; it is killed if it does not.
void Xvfb::stop() {
  if (server_ != nullptr) kill(server_->pid(), SIGTERM), server_->wait(2);
  server_.reset();
}

Xvfb::~Xvfb() {
  stop();
  if (had_display_)
    setenv("DISPLAY", old_display_.c_str(), 1);
  else
    unsetenv("DISPLAY");
}

// ---- the test's own connection ----

std::string window_name(Display* d, Window w) {
  char* raw = nullptr;
  std::string name;
  if (XFetchName(d, w, &raw) != 0 && raw != nullptr) {
    name = raw;
    XFree(raw);
  }
  return name;
}

Window find_window(Display* d, const std::string& prefix, double timeout_s) {
  const auto start = std::chrono::steady_clock::now();
  do {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n) != 0) {
      for (unsigned i = 0; i < n; ++i) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(d, children[i], &a) == 0 || a.map_state != IsViewable) continue;
        if (window_name(d, children[i]).rfind(prefix, 0) == 0) {
          const Window found = children[i];
          XFree(children);
          return found;
        }
      }
      if (children != nullptr) XFree(children);
    }
    sleep_ms(50);
  } while (seconds_since(start) < timeout_s);
  return 0;
}

XPicture grab(Display* d, Drawable w) {
  XPicture p;
  Window root = 0;
  int x = 0, y = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  if (XGetGeometry(d, w, &root, &x, &y, &width, &height, &border, &depth) == 0) return p;
  XImage* img = XGetImage(d, w, 0, 0, width, height, AllPlanes, ZPixmap);
  if (img == nullptr) return p;
  p.width = static_cast<int>(width), p.height = static_cast<int>(height);
  p.rgb.resize(static_cast<std::size_t>(p.width) * p.height);
  Visual* v = DefaultVisual(d, DefaultScreen(d));
  auto shift = [](unsigned long mask) {
    int s = 0;
    while (mask != 0 && !(mask & 1)) mask >>= 1, ++s;
    return s;
  };
  const int rs = shift(v->red_mask), gs = shift(v->green_mask), bs = shift(v->blue_mask);
  for (int yy = 0; yy < p.height; ++yy)
    for (int xx = 0; xx < p.width; ++xx) {
      const unsigned long px = XGetPixel(img, xx, yy);
      const unsigned r = static_cast<unsigned>((px & v->red_mask) >> rs) & 0xFF;
      const unsigned g = static_cast<unsigned>((px & v->green_mask) >> gs) & 0xFF;
      const unsigned b = static_cast<unsigned>((px & v->blue_mask) >> bs) & 0xFF;
      p.rgb[static_cast<std::size_t>(yy) * p.width + xx] = (r << 16) | (g << 8) | b;
    }
  XDestroyImage(img);
  return p;
}

void pointer_to(Display* d, Window w, int x, int y) {
  Window child = 0;
  int rx = 0, ry = 0;
  XTranslateCoordinates(d, w, DefaultRootWindow(d), x, y, &rx, &ry, &child);
  XTestFakeMotionEvent(d, DefaultScreen(d), rx, ry, CurrentTime);
  XSync(d, False);
}

void press_key(Display* d, const char* keysym, bool alt, bool shift) {
  const KeyCode alt_code = XKeysymToKeycode(d, XK_Alt_L);
  const KeyCode shift_code = XKeysymToKeycode(d, XK_Shift_L);
  const KeyCode key = XKeysymToKeycode(d, XStringToKeysym(keysym));
  if (alt) XTestFakeKeyEvent(d, alt_code, True, CurrentTime);
  if (shift) XTestFakeKeyEvent(d, shift_code, True, CurrentTime);
  XTestFakeKeyEvent(d, key, True, CurrentTime);
  XTestFakeKeyEvent(d, key, False, CurrentTime);
  if (shift) XTestFakeKeyEvent(d, shift_code, False, CurrentTime);
  if (alt) XTestFakeKeyEvent(d, alt_code, False, CurrentTime);
  XSync(d, False);
}

void send_client(Display* d, Window w, int code) {
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = w;
  ev.xclient.message_type = 62;
  ev.xclient.format = 8;
  ev.xclient.data.b[0] = static_cast<char>(code);
  XSendEvent(d, w, False, NoEventMask, &ev);
  XSync(d, False);
}

void WindowProgramTest::SetUp() {
  if (xvfb_program().empty()) GTEST_SKIP() << "Xvfb is not installed: the window runs cannot be tested";
  server_ = std::make_unique<Xvfb>();
  ASSERT_TRUE(server_->ok()) << server_->why();
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  me_ = XOpenDisplay(server_->display().c_str());
  ASSERT_NE(me_, nullptr);
  ProgramTest::SetUp();
  env_["DISPLAY"] = server_->display();
  // stdbuf (line-buffered answers) preloads a library before a sanitizer's runtime.
  const char* asan = std::getenv("ASAN_OPTIONS");
  env_["ASAN_OPTIONS"] = std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0";
}

void WindowProgramTest::TearDown() {
  if (me_ != nullptr) XCloseDisplay(me_);
  me_ = nullptr;
  server_.reset();
}
