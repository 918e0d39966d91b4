// The X11 driver against a real X server. with_xvfb.sh starts Xvfb for
// this executable and asks for the X11 driver.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "vttest.h"

// Xlib's macros (None, Bool, Status) must come after GoogleTest's headers.
#include "platform/drivers/x11/x11_internal.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

// Fontconfig keeps the fonts it matched in caches of its own for the life
// of the process, which the leak checker cannot see from any root; the
// driver keeps its fonts open for the process's life on purpose too.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace {

using vt::platform::FontSpec;

TEST(X11Fonts, TheDialogFontsHaveTheirDesignedMetrics) {
  ASSERT_STREQ(vt::platform::TheDriver().name, "x11");
  struct Case {
    const char* face;
    int points;
    int weight;
    int averageWidth;
    int height;
    bool fixed;
  } cases[] = {
      // Dialog base units 6 and 13 make the templates' sizes right.
      {"MS Sans Serif", 8, 400, 6, 13, false},
      // Liberation Mono at 11 pixels, for the fixed face.
      {"Courier New", 8, 400, 7, 14, true},
  };
  for (const Case& c : cases) {
    FontSpec fontSpec;
    fontSpec.face = c.face;
    fontSpec.pointSize = c.points;
    fontSpec.weight = c.weight;
    auto metrics = vt::platform::TheDriver().fontMetrics(fontSpec);
    EXPECT_EQ(metrics.averageCharWidth, c.averageWidth) << c.face;
    EXPECT_EQ(metrics.height, c.height) << c.face;
    EXPECT_EQ(metrics.fixedPitch, c.fixed) << c.face;
  }
  FontSpec bold;
  bold.weight = 700;
  EXPECT_GT(vt::platform::TheDriver().textWidth(bold, "Vellumtide"),
            vt::platform::TheDriver().textWidth(FontSpec{}, "Vellumtide"));
}

TEST(X11Fonts, AnsiTextIsMeasuredAsItsCharacters) {
  const auto& driver = vt::platform::TheDriver();
  // é, € and ß as Windows-1252 bytes: each one glyph, none a missing-glyph
  // box or three bytes' worth of replacement characters.
  struct Case {
    const char* ansi;
    const char* lookalike;
  } cases[] = {{"\xE9", "e"}, {"\xDF", "B"}, {"\x80", "C"}};
  for (const Case& c : cases) {
    int width = driver.textWidth(FontSpec{}, c.ansi);
    int near = driver.textWidth(FontSpec{}, c.lookalike);
    EXPECT_GT(width, 0) << c.lookalike;
    EXPECT_LE(std::abs(width - near), 2) << c.lookalike;
  }
}

TEST(X11Keys, KeySymbolsBecomeVirtualKeys) {
  struct Case {
    KeySym keysym;
    UINT vk;
  } cases[] = {
      {XK_a, 'A'},
      {XK_Z, 'Z'},
      {XK_7, '7'},
      {XK_F1, VK_F1},
      {XK_Return, VK_RETURN},
      {XK_Escape, VK_ESCAPE},
      {XK_ISO_Left_Tab, VK_TAB},
      {XK_Alt_L, VK_MENU},
      {XK_KP_Left, VK_LEFT},
      {XK_comma, 0xBC},
      {XK_eacute, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(vt::x11::VirtualKeyOf(c.keysym), c.vk) << std::hex << c.keysym;
}

TEST(X11Keys, TheLayoutGivesCharactersForPostedKeys) {
  const auto& driver = vt::platform::TheDriver();
  EXPECT_EQ(driver.keyCharacters('A', 0, 0).text, "a");
  EXPECT_EQ(driver.keyCharacters('A', 0, vt::platform::kShiftBit).text, "A");
  EXPECT_EQ(driver.keyCharacters('1', 0, vt::platform::kShiftBit).text, "!");
  EXPECT_EQ(driver.keyCharacters(VK_RETURN, 0, 0).text, "\r");
}

TEST(X11Pictures, IconsScaleWithTheirTransparency) {
  // A 16 × 16 icon, its left half opaque red, its right half clear.
  std::uint32_t pixels[16 * 16];
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) pixels[y * 16 + x] = x < 8 ? 0xFFFF0000u : 0;
  vtres::IconImage image{16, 16, pixels};
  vtres::Icon icon{&image, 1};
  for (int size : {8, 22, 32}) {
    auto scaled = vt::x11::ScaledIcon(icon, size, size);
    ASSERT_EQ(scaled.size(), static_cast<std::size_t>(size * size));
    EXPECT_EQ(scaled[0], 0xFFFF0000u) << size;
    EXPECT_EQ(scaled[size - 1], 0u) << size;
    EXPECT_EQ(scaled[(size - 1) * size], 0xFFFF0000u) << size;
  }
}

// Painting from two GUI threads while desktop input flows through the
// driver's event thread and the hooks: the thread sanitizer's case.
std::atomic<int> g_hooked{0};
std::atomic<int> g_paints{0};

LRESULT CALLBACK CountingHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) ++g_hooked;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK PaintingProc(HWND window, UINT message, WPARAM wParam,
                              LPARAM lParam) {
  if (message != WM_PAINT)
    return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT all{0, 0, 200, 100};
  HBRUSH brush = CreateSolidBrush(RGB(0xC0, 0xC0, 0xC0));
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  TextOutA(dc, 4, 4, "Painting \xE9", 10);
  EndPaint(window, &paint);
  ++g_paints;
  return 0;
}

void PaintRepeatedly(int x) {
  HWND window =
      CreateWindowExA(0, "X11Painting", "painting", WS_POPUP | WS_VISIBLE, x,
                      10, 200, 100, nullptr, nullptr, nullptr, nullptr);
  for (int i = 0; i < 50; ++i) {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  DestroyWindow(window);
}

TEST(X11Threads, TwoThreadsPaintWhileDesktopInputReachesTheHooks) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = PaintingProc;
  cls.lpszClassName = "X11Painting";
  ASSERT_NE(RegisterClassA(&cls), 0);
  HHOOK hook = SetWindowsHookExA(WH_MOUSE, CountingHook, nullptr, 0);
  ASSERT_NE(hook, nullptr);
  std::atomic<bool> painting{true};
  // Input from another client, through XTEST, as xdotool sends it.
  std::thread input([&painting] {
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    for (int i = 0; painting || i < 20; ++i) {
      XTestFakeMotionEvent(d, -1, 500 + i % 100, 500, CurrentTime);
      XFlush(d);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    XCloseDisplay(d);
  });
  std::thread left(PaintRepeatedly, 10);
  std::thread right(PaintRepeatedly, 300);
  left.join();
  right.join();
  painting = false;
  input.join();
  // The hooks run on the driver's thread; the last events may still be on
  // their way.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (g_hooked == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  UnhookWindowsHookEx(hook);
  EXPECT_GE(g_paints, 100);
  EXPECT_GT(g_hooked, 0);
}

// What another program reads back from a selection through xclip, or
// empty when nobody gives it.
std::string ReadSelection(const char* selection, const char* target) {
  std::string command = std::string("timeout 5 xclip -o -selection ") +
                        selection + " -target " + target + " 2>/dev/null";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
      out.append(buffer, got);
    pclose(pipe);
  }
  return out;
}

// Typing into an edit, Shift+Home and Ctrl+C, all as a person's keys through
// xdotool, put the edit's text on the desktop's clipboard for any program.
TEST(X11Clipboard, CopiedEditTextIsReadByAnotherProgram) {
  if (std::system("command -v xclip >/dev/null && command -v xdotool "
                  ">/dev/null") != 0)
    GTEST_SKIP() << "xclip and xdotool are needed";
  HWND form = CreateWindowExA(0, "STATIC", "form", WS_POPUP | WS_VISIBLE, 50,
                              50, 300, 60, nullptr, nullptr, nullptr, nullptr);
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 10, 10, 280,
                              20, form, nullptr, nullptr, nullptr);
  ASSERT_NE(edit, nullptr);
  SetForegroundWindow(form);
  SetFocus(edit);
  vt::testing::PumpPending();
  ASSERT_EQ(std::system("xdotool mousemove 150 70 && xdotool type --delay 5 "
                        "'caf\xC3\xA9 plan' && xdotool key shift+Home ctrl+c"),
            0);
  // The keys arrive through the event thread; the copy is done once the
  // clipboard answers, well within the watchdog.
  std::string clipboard;
  bool copied = vt::testing::PumpUntil(
      [&] {
        clipboard = ReadSelection("clipboard", "UTF8_STRING");
        return !clipboard.empty();
      },
      20000);
  EXPECT_TRUE(copied);
  EXPECT_EQ(clipboard, "caf\xC3\xA9 plan");
  EXPECT_EQ(vt::testing::TextOf(edit), "caf\xE9 plan");
  // STRING is Latin-1, and the list of targets names what is given.
  EXPECT_EQ(ReadSelection("clipboard", "STRING"), "caf\xE9 plan");
  std::string targets = ReadSelection("clipboard", "TARGETS");
  EXPECT_NE(targets.find("UTF8_STRING"), std::string::npos) << targets;
  // Nothing was selected with the mouse, so the primary selection is not
  // ours.
  EXPECT_EQ(ReadSelection("primary", "UTF8_STRING"), "");
  DestroyWindow(form);
}

}  // namespace
