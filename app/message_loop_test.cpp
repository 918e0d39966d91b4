// The configuration window's keyboard, which exists only through the main
// loop's accelerator table: each key is pressed at the focused control and
// the thread's messages then go through ProcessLoopMessage, as WinMain's
// loop sends them.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "settings/config_window_fixture.h"

namespace {

using configtest::ConfigWindowTest;
using configtest::StoredText;
using vt::testing::Modifiers;
using vt::testing::PressKey;

class Keyboard : public ConfigWindowTest {
 public:
  void SetUp() override {
    ConfigWindowTest::SetUp();
    configtest::StoreText("Real Name", "Ada");
    configtest::StoreText("Office", "Room 1");
    LoadSettings(configWindow);
    ShowIt();
    PumpLoop();
  }
  void Focus(int id) const { SetFocus(Item(id)); }
  int FocusedId() const { return GetDlgCtrlID(GetFocus()); }
  void Press(UINT key, Modifiers modifiers = Modifiers::None) {
    PressKey(key, modifiers);
    PumpLoop();
  }
};

// Enter is OK and Esc is Cancel whatever has the focus, buttons included:
// neither presses the focused button.
class EnterAndEsc : public Keyboard,
                    public ::testing::WithParamInterface<int> {};

TEST_P(EnterAndEsc, EnterIsOk) {
  SetText(IDC_OFFICE, "Room 2");
  Focus(GetParam());
  ASSERT_EQ(FocusedId(), GetParam());
  Press(VK_RETURN);
  EXPECT_FALSE(Visible());
  EXPECT_EQ(StoredText("Office"), "Room 2");
  EXPECT_TRUE(ApplyEnabled());
  EXPECT_TRUE(vt::testing::OpenFileRequests().empty());
  EXPECT_EQ(presence.awayLocked, 0);
}

TEST_P(EnterAndEsc, EscIsCancel) {
  SetText(IDC_OFFICE, "Room 2");
  Focus(GetParam());
  Press(VK_ESCAPE);
  EXPECT_FALSE(Visible());
  EXPECT_EQ(Text(IDC_OFFICE), "Room 1");
  EXPECT_EQ(StoredText("Office"), "Room 1");
  EXPECT_TRUE(vt::testing::OpenFileRequests().empty());
}

INSTANTIATE_TEST_SUITE_P(Focus, EnterAndEsc,
                         ::testing::Values(IDC_REAL_NAME, IDC_AWAY_AFTER,
                                           IDC_AWAY_LOCKED, IDC_BROWSE_PLAN,
                                           IDC_CANCEL, IDC_STOP_SERVER,
                                           IDC_OK));

// The tab stops in the order of the control table, Apply (lit) last.
const std::vector<int> kTabOrder = {
    IDC_REAL_NAME,   IDC_OFFICE,     IDC_OFFICE_PHONE, IDC_HOME,
    IDC_HOME_PHONE,  IDC_AWAY_AFTER, IDC_AWAY_LOCKED,  IDC_PLAN_FILE,
    IDC_BROWSE_PLAN, IDC_AWAY_FILE,  IDC_BROWSE_AWAY,  IDC_OK,
    IDC_CANCEL,      IDC_FINGER,     IDC_STOP_SERVER,  IDC_HELP,
    IDC_ABOUT,       IDC_APPLY,
};

TEST_F(Keyboard, TabAndShiftTabFollowTheControlTableWithApplyLast) {
  SetText(IDC_REAL_NAME, "Grace");  // lights Apply, a tab stop once enabled
  Focus(IDC_REAL_NAME);
  std::vector<int> forward;
  for (size_t i = 0; i < kTabOrder.size(); ++i) {
    forward.push_back(FocusedId());
    Press(VK_TAB);
  }
  EXPECT_EQ(forward, kTabOrder);
  EXPECT_EQ(FocusedId(), IDC_REAL_NAME) << "Tab wraps round";

  std::vector<int> backward;
  for (size_t i = 0; i < kTabOrder.size(); ++i) {
    Press(VK_TAB, Modifiers::Shift);
    backward.push_back(FocusedId());
  }
  std::vector<int> reversed(kTabOrder.rbegin(), kTabOrder.rend());
  EXPECT_EQ(backward, reversed);
}

// Columns: key, what must hold afterwards.
struct AltCase {
  const char* name;
  char key;
  std::function<void(Keyboard&)> check;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const AltCase& c, std::ostream* os) { *os << c.name; }

class AltLetters : public Keyboard,
                   public ::testing::WithParamInterface<AltCase> {};

TEST_P(AltLetters, ReachTheirCommands) {
  SetText(IDC_OFFICE, "Room 2");
  Focus(IDC_REAL_NAME);
  vt::testing::ScriptOpenFileAnswer(std::nullopt);
  Press(static_cast<UINT>(GetParam().key), Modifiers::Alt);
  GetParam().check(*this);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, AltLetters,
    ::testing::Values(
        AltCase{"AltA_Applies", 'A',
                [](Keyboard& t) {
                  EXPECT_EQ(StoredText("Office"), "Room 2");
                  EXPECT_FALSE(t.ApplyEnabled());
                  EXPECT_TRUE(t.Visible());
                }},
        AltCase{"AltO_IsOk", 'O',
                [](Keyboard& t) {
                  EXPECT_EQ(StoredText("Office"), "Room 2");
                  EXPECT_FALSE(t.Visible());
                }},
        AltCase{"AltL_Locks", 'L',
                [](Keyboard& t) {
                  EXPECT_EQ(presence.awayLocked, 1);
                  EXPECT_TRUE(t.LockBoxChecked());
                }},
        AltCase{"AltR_BrowsesPlan", 'R',
                [](Keyboard&) {
                  ASSERT_EQ(vt::testing::OpenFileRequests().size(), 1u);
                  EXPECT_EQ(vt::testing::OpenFileRequests()[0].title,
                            "Select Plan File");
                }},
        AltCase{"AltW_BrowsesAway", 'W',
                [](Keyboard&) {
                  ASSERT_EQ(vt::testing::OpenFileRequests().size(), 1u);
                  EXPECT_EQ(vt::testing::OpenFileRequests()[0].title,
                            "Select Away File");
                }},
        // Alt+H has no entry: nothing happens, though "&Help" is a button.
        AltCase{"AltH_DoesNothing", 'H',
                [](Keyboard& t) {
                  EXPECT_TRUE(vt::testing::HelpRequests().empty());
                  EXPECT_TRUE(t.Visible());
                  EXPECT_EQ(t.FocusedId(), IDC_REAL_NAME);
                  EXPECT_EQ(StoredText("Office"), "Room 1");
                }}),
    [](const ::testing::TestParamInfo<AltCase>& info) {
      return info.param.name;
    });

TEST_F(Keyboard, F1OpensHelpAndAltCShowsTheWindowAgain) {
  Focus(IDC_OFFICE);
  Press(VK_F1);
  EXPECT_EQ(vt::testing::HelpRequests().size(), 1u);
  Press(VK_ESCAPE);
  ASSERT_FALSE(Visible());
  // Help no longer shows a box of this thread, so hiding the window leaves
  // no window of the program in front; the person clicks back into it. The
  // keys then reach the window's thread, so Alt+C shows it again.
  SetForegroundWindow(configWindow);
  Focus(IDC_OFFICE);
  Press('C', Modifiers::Alt);
  EXPECT_TRUE(Visible());
}

TEST_F(Keyboard, AltSStopsTheServer) {
  SetText(IDC_OFFICE, "Room 2");
  PressKey('S', Modifiers::Alt);
  int quitCode = -1;
  EXPECT_TRUE(PumpLoop(&quitCode));
  EXPECT_EQ(quitCode, 0);
  EXPECT_EQ(StoredText("Office"), "Room 2");
}

// While a modal window of the main thread is open, its own loop runs and
// the configuration window's accelerators do nothing.
HWND FindVisibleTopLevel(const std::string& caption) {
  for (HWND window : vt::testing::TopLevelWindows()) {
    if (IsWindowVisible(window) && vt::testing::TextOf(window) == caption) {
      return window;
    }
  }
  return nullptr;
}

struct ModalCase {
  const char* name;
  int command;
  const char* caption;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const ModalCase& c, std::ostream* os) { *os << c.name; }

class AcceleratorsWhileModal : public Keyboard,
                               public ::testing::WithParamInterface<ModalCase> {
};

TEST_P(AcceleratorsWhileModal, DoNothing) {
  // An edit Alt+A would store if it reached the window behind the modal one.
  SetText(IDC_OFFICE, "Room 2");
  bool opened = false;
  vt::testing::WhenIdle([&] {
    opened = FindVisibleTopLevel(GetParam().caption) != nullptr;
    PressKey('L', Modifiers::Alt);
    PressKey('A', Modifiers::Alt);
    PressKey(VK_F1);
  });
  vt::testing::WhenIdle([&] { PressKey(VK_ESCAPE); });
  bool forced = false;
  vt::testing::WhenIdle([&] {
    if (HWND modal = FindVisibleTopLevel(GetParam().caption)) {
      forced = true;
      EndDialog(modal, IDCANCEL);
    }
  });
  Command(GetParam().command);
  EXPECT_TRUE(opened);
  EXPECT_FALSE(forced) << "Esc closes it";
  EXPECT_EQ(presence.awayLocked, 0);
  EXPECT_EQ(StoredText("Office"), "Room 1");
  EXPECT_TRUE(vt::testing::HelpRequests().empty());
  // Once it has closed, the keys work again.
  Press('L', Modifiers::Alt);
  EXPECT_EQ(presence.awayLocked, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, AcceleratorsWhileModal,
    ::testing::Values(ModalCase{"About", IDC_ABOUT, "About Vellumtide"},
                      ModalCase{"Query", IDC_FINGER, "Vellumtide Finger"}),
    [](const ::testing::TestParamInfo<ModalCase>& info) {
      return info.param.name;
    });

}  // namespace
