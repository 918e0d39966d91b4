// What a desktop driver reports reaches the program as the target system
// would give it: the layout's characters (dead keys too), the wheel, and
// pointer input for the window that holds the capture.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <vector>

#include "platform/internal/driver.h"
#include "platform/user/user_test_support.h"
#include "vttest.h"

namespace {

using vt::platform::InputEvent;
using vt::platform::InputKind;
using vt::user_test::Log;
using vt::user_test::NewRecorder;
using vt::user_test::Row;

class DriverInput : public vt::user_test::UserTest {};

// Delivers events as a driver's own thread does.
void FromDriverThread(std::vector<InputEvent> events) {
  std::thread driver([&] {
    for (auto& e : events) vt::platform::DeliverInput(e);
  });
  driver.join();
}

InputEvent Key(UINT key, const char* characters, bool dead = false) {
  InputEvent e;
  e.kind = InputKind::Key;
  e.virtualKey = key;
  e.scanCode = 0x1A;
  e.characters.text = characters;
  e.characters.dead = dead;
  return e;
}

TEST_F(DriverInput, KeysBringTheCharactersOfThePersonsLayout) {
  struct Case {
    const char* what;
    InputEvent event;
    std::vector<Row> rows;
  } cases[] = {
      {"a dead key gives WM_DEADCHAR",
       Key(0xDD, "\xB4", true),
       {{WM_DEADCHAR, 0xB4, 0}}},
      {"the next key gives the composed letter",
       Key('E', "\xE9"),
       {{WM_CHAR, 0xE9, 0}}},
      {"a key that gives two characters",
       Key('E', "\xB4x"),
       {{WM_CHAR, 0xB4, 0}, {WM_CHAR, 'x', 0}}},
      {"a key that gives none", Key(VK_F5, ""), {}},
  };
  HWND window = NewRecorder("typed at");
  ShowWindow(window, SW_SHOW);
  SetFocus(window);
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    Log::Get().Watch({WM_CHAR, WM_DEADCHAR});
    FromDriverThread({c.event});
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    auto rows = Log::Get().Take();
    for (auto& row : rows) row.lParam = 0;  // the key's own lParam
    EXPECT_EQ(rows, c.rows);
  }
}

TEST_F(DriverInput, TheWheelAndTheCaptureWindow) {
  HWND a = NewRecorder("a");
  HWND b = NewRecorder("b");
  SetWindowPos(b, nullptr, 400, 300, 100, 100, SWP_NOZORDER);
  ShowWindow(a, SW_SHOW);
  ShowWindow(b, SW_SHOW);
  Log::Get().Watch({WM_MOUSEWHEEL, WM_LBUTTONDOWN});
  InputEvent wheel;
  wheel.kind = InputKind::Mouse;
  wheel.mouseMessage = WM_MOUSEWHEEL;
  wheel.point = POINT{450, 350};
  wheel.target = b;
  wheel.wheelDelta = -WHEEL_DELTA;
  FromDriverThread({wheel});
  vt::testing::PumpPending();
  EXPECT_EQ(Log::Get().Take(),
            (std::vector<Row>{{WM_MOUSEWHEEL,
                               MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
                               MAKELPARAM(450, 350)}}));
  // With a holding the capture, a press over b goes to a.
  SetCapture(a);
  std::vector<HWND> pressed;
  vt::user_test::SetBehaviour([&](HWND w, UINT m, WPARAM, LPARAM, LRESULT*) {
    if (m == WM_LBUTTONDOWN) pressed.push_back(w);
    return false;
  });
  InputEvent press;
  press.kind = InputKind::Mouse;
  press.mouseMessage = WM_LBUTTONDOWN;
  press.point = POINT{450, 350};
  press.target = b;
  FromDriverThread({press});
  vt::testing::PumpPending();
  ReleaseCapture();
  FromDriverThread({press});
  vt::testing::PumpPending();
  EXPECT_EQ(pressed, (std::vector<HWND>{a, b}));
}

}  // namespace
