// The configuration window: when Apply lights up and what the registry then
// holds, Cancel and OK, the away lock, the open-file request, help, the
// notification-area icon and its popup menu, and the About window.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "platform/internal/platform.h"
#include "settings/config_window_fixture.h"

namespace {

using configtest::ConfigWindowTest;
using configtest::StoredText;

// A real file below the test's system root (the open-file dialog wants the
// chosen file to exist), at root/folder/name; returns its path.
std::string MakeFile(const std::string& folder, const std::string& name) {
  std::string path = std::getenv("VELLUMTIDE_ROOT");
  if (!folder.empty()) {
    path += "/" + folder;
    std::filesystem::create_directories(path);
  }
  path += "/" + name;
  std::ofstream(path) << "text\n";
  return path;
}

// --- Apply ------------------------------------------------------------------

// Each case starts from a window loaded with the stored name "Ada" and 5
// minutes, shown, Apply disabled.
struct EditCase {
  const char* name;
  std::function<void(ConfigWindowTest&)> edit;
  bool applyEnabled;
  const char* storedName;  // "Real Name" in the registry afterwards
  const char* shownName;   // control 1008 afterwards
  bool visible;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }

class ApplyCase : public ConfigWindowTest,
                  public ::testing::WithParamInterface<EditCase> {};

TEST_P(ApplyCase, LightsApplyAndStoresAsItShould) {
  configtest::StoreText("Real Name", "Ada");
  configtest::StoreMinutes(5);
  LoadSettings(configWindow);
  ShowIt();
  ASSERT_FALSE(ApplyEnabled());

  GetParam().edit(*this);
  PumpLoop();
  EXPECT_EQ(ApplyEnabled(), GetParam().applyEnabled);
  EXPECT_EQ(StoredText("Real Name"), GetParam().storedName);
  EXPECT_EQ(Text(IDC_REAL_NAME), GetParam().shownName);
  EXPECT_EQ(Visible(), GetParam().visible);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, ApplyCase,
    ::testing::Values(
        EditCase{"TypeNewName",
                 [](ConfigWindowTest& t) { t.SetText(IDC_REAL_NAME, "Grace"); },
                 true, "Ada", "Grace", true},
        // Typing the old text back does not turn Apply off again.
        EditCase{"TypeNameBack",
                 [](ConfigWindowTest& t) {
                   t.SetText(IDC_REAL_NAME, "Grace");
                   t.SetText(IDC_REAL_NAME, "Ada");
                 },
                 true, "Ada", "Ada", true},
        EditCase{"SameTextAsStored",
                 [](ConfigWindowTest& t) { t.SetText(IDC_REAL_NAME, "Ada"); },
                 false, "Ada", "Ada", true},
        EditCase{"LoadAgain",
                 [](ConfigWindowTest&) { LoadSettings(configWindow); }, false,
                 "Ada", "Ada", true},
        EditCase{"MinutesChanged",
                 [](ConfigWindowTest& t) { t.SetText(IDC_AWAY_AFTER, "7"); },
                 true, "Ada", "Ada", true},
        EditCase{"MinutesSame",
                 [](ConfigWindowTest& t) { t.SetText(IDC_AWAY_AFTER, "5"); },
                 false, "Ada", "Ada", true},
        // Letters count as 0, which differs from the stored 5.
        EditCase{"MinutesLetters",
                 [](ConfigWindowTest& t) { t.SetText(IDC_AWAY_AFTER, "ten"); },
                 true, "Ada", "Ada", true},
        EditCase{"BrowsePlanChosen",
                 [](ConfigWindowTest& t) {
                   std::string plan = MakeFile("plans", "plan.txt");
                   vt::testing::ScriptOpenFileAnswer(plan);
                   t.Command(IDC_BROWSE_PLAN);
                   EXPECT_EQ(t.Text(IDC_PLAN_FILE), plan);
                 },
                 true, "Ada", "Ada", true},
        EditCase{"BrowseAwayChosen",
                 [](ConfigWindowTest& t) {
                   std::string away = MakeFile("plans", "away.txt");
                   vt::testing::ScriptOpenFileAnswer(away);
                   t.Command(IDC_BROWSE_AWAY);
                   EXPECT_EQ(t.Text(IDC_AWAY_FILE), away);
                 },
                 true, "Ada", "Ada", true},
        EditCase{"BrowseCancelled",
                 [](ConfigWindowTest& t) {
                   vt::testing::ScriptOpenFileAnswer(std::nullopt);
                   t.Command(IDC_BROWSE_PLAN);
                   EXPECT_EQ(t.Text(IDC_PLAN_FILE), "");
                 },
                 false, "Ada", "Ada", true},
        // OK applies and hides, and leaves Apply lit for next time.
        EditCase{"OkAfterEdit",
                 [](ConfigWindowTest& t) {
                   t.SetText(IDC_REAL_NAME, "Grace");
                   t.Command(IDC_OK);
                 },
                 true, "Grace", "Grace", false},
        EditCase{"EnterCommandAfterEdit",
                 [](ConfigWindowTest& t) {
                   t.SetText(IDC_REAL_NAME, "Grace");
                   t.Command(IDM_ENTER_OK);
                 },
                 true, "Grace", "Grace", false},
        EditCase{"ApplyAfterEdit",
                 [](ConfigWindowTest& t) {
                   t.SetText(IDC_REAL_NAME, "Grace");
                   t.Command(IDC_APPLY);
                 },
                 false, "Grace", "Grace", true},
        // Cancel restores the stored text and leaves Apply lit.
        EditCase{"CancelAfterEdit",
                 [](ConfigWindowTest& t) {
                   t.SetText(IDC_REAL_NAME, "Grace");
                   t.Command(IDC_CANCEL);
                 },
                 true, "Ada", "Ada", false},
        EditCase{"CloseAfterEdit",
                 [](ConfigWindowTest& t) {
                   t.SetText(IDC_REAL_NAME, "Grace");
                   SendMessageA(configWindow, WM_CLOSE, 0, 0);
                 },
                 true, "Ada", "Ada", false},
        // Alt+A's command applies and saves while the button is disabled:
        // what another program wrote behind the window's back is replaced
        // by the window's entries.
        EditCase{"ApplyCommandWhileDisabled",
                 [](ConfigWindowTest& t) {
                   configtest::StoreText("Real Name", "Written elsewhere");
                   t.Command(IDC_APPLY);
                 },
                 false, "Ada", "Ada", true}),
    [](const ::testing::TestParamInfo<EditCase>& info) {
      return info.param.name;
    });

TEST_F(ConfigWindowTest, CancelRestoresTheOfficeAndApplyThenSavesIt) {
  configtest::StoreText("Office", "Room 1");
  LoadSettings(configWindow);
  SetText(IDC_OFFICE, "Room 2");
  Command(IDC_CANCEL);
  EXPECT_EQ(Text(IDC_OFFICE), "Room 1");
  EXPECT_STREQ(presence.office, "Room 1");
  ASSERT_TRUE(ApplyEnabled());
  // Someone else changes the store; Apply saves the restored entry.
  configtest::StoreText("Office", "Room 9");
  Command(IDC_APPLY);
  EXPECT_EQ(StoredText("Office"), "Room 1");
  EXPECT_FALSE(ApplyEnabled());
}

TEST_F(ConfigWindowTest, NothingIsStoredBeforeOkApplyOrStop) {
  SetText(IDC_REAL_NAME, "Grace");
  Command(IDC_CANCEL);
  ShowIt();
  Command(IDC_AWAY_LOCKED);
  EXPECT_FALSE(configtest::KeyExists());
}

// --- the away lock
// ------------------------------------------------------------

TEST_F(ConfigWindowTest, LockCommandTogglesBoxCaptionTipAndFlags) {
  Command(IDC_AWAY_LOCKED);
  EXPECT_TRUE(LockBoxChecked());
  EXPECT_EQ(presence.awayLocked, 1);
  EXPECT_EQ(presence.autoAway, 1);
  EXPECT_EQ(vt::testing::TextOf(configWindow),
            "Vellumtide v1.01 (beta) - bob set away");
  EXPECT_EQ(vt::testing::TrayIcon().tip, "Velto (Status: Away)");
  EXPECT_FALSE(ApplyEnabled()) << "the lock is not a setting";

  Command(IDC_AWAY_LOCKED);
  EXPECT_FALSE(LockBoxChecked());
  EXPECT_EQ(presence.awayLocked, 0);
  EXPECT_EQ(presence.autoAway, 0);
  EXPECT_EQ(vt::testing::TextOf(configWindow),
            "Vellumtide v1.01 (beta) - bob is here");
  EXPECT_EQ(vt::testing::TrayIcon().tip, "Velto (Status: Here)");
}

// Cancel takes the lock from the box; OK and Apply set it with its display.
TEST_F(ConfigWindowTest, CancelTakesTheLockFromTheBoxAndOkShowsIt) {
  CheckDlgButton(configWindow, IDC_AWAY_LOCKED, BST_CHECKED);
  Command(IDC_CANCEL);
  EXPECT_EQ(presence.awayLocked, 1);
  EXPECT_EQ(presence.autoAway, 1);
  EXPECT_EQ(vt::testing::TextOf(configWindow),
            "Vellumtide v1.01 (beta) - bob set away");
  EXPECT_EQ(vt::testing::TrayIcon().tip, "Velto (Status: Here)")
      << "Cancel leaves the tip alone";

  Command(IDC_OK);
  EXPECT_EQ(vt::testing::TrayIcon().tip, "Velto (Status: Away)");
  CheckDlgButton(configWindow, IDC_AWAY_LOCKED, BST_UNCHECKED);
  Command(IDC_APPLY);
  EXPECT_EQ(presence.awayLocked, 0);
  EXPECT_EQ(presence.autoAway, 0);
  EXPECT_EQ(vt::testing::TrayIcon().tip, "Velto (Status: Here)");
}

// --- the open-file dialog ---------------------------------------------------

TEST_F(ConfigWindowTest, BrowseAsksForATextFileExactly) {
  vt::testing::ScriptOpenFileAnswer(std::nullopt);
  Command(IDC_BROWSE_PLAN);
  vt::testing::ScriptOpenFileAnswer(std::nullopt);
  Command(IDC_BROWSE_AWAY);
  auto requests = vt::testing::OpenFileRequests();
  ASSERT_EQ(requests.size(), 2u);
  const char kFilter[] = "Text Files(*.txt)\0*.txt\0All Files(*.*)\0*.*\0\0";
  const std::string filter(kFilter, sizeof kFilter - 1);
  for (const auto& request : requests) {
    EXPECT_EQ(request.structSize, 76u);
    EXPECT_EQ(request.owner, configWindow);
    EXPECT_EQ(request.filter, filter);
    EXPECT_EQ(request.filterIndex, 1u);
    EXPECT_EQ(request.initialFile, "*.txt");
    EXPECT_EQ(request.fileBufferSize, 256u);
    EXPECT_TRUE(request.hasFileTitle);
    EXPECT_EQ(request.fileTitleBufferSize, 256u);
    EXPECT_EQ(request.initialDir, "");
    EXPECT_EQ(request.flags, 0x201804u);
    EXPECT_FALSE(request.hasHook);
    EXPECT_FALSE(request.hasTemplate);
    EXPECT_FALSE(request.hasCustomFilter);
    EXPECT_FALSE(request.hasDefaultExtension);
  }
  EXPECT_EQ(requests[0].title, "Select Plan File");
  EXPECT_EQ(requests[1].title, "Select Away File");
}

TEST_F(ConfigWindowTest, APathTooLongForTheBufferChangesNothing) {
  std::string path =
      MakeFile(std::string(200, 'd'), std::string(100, 'p') + ".txt");
  ASSERT_GT(path.size(), 255u);
  vt::testing::ScriptOpenFileAnswer(path);
  char result[256] = "unchanged";
  EXPECT_EQ(
      BrowseForTextFile(configWindow, "Select Plan File", "", "*.txt", result),
      0);
  EXPECT_STREQ(result, "unchanged");
}

TEST_F(ConfigWindowTest, TheLongestPathThatFitsComesBackWhole) {
  std::string root = std::getenv("VELLUMTIDE_ROOT");
  std::string path =
      MakeFile("", std::string(255 - root.size() - 5, 'p') + ".txt");
  ASSERT_EQ(path.size(), 255u);
  vt::testing::ScriptOpenFileAnswer(path);
  char result[256] = {};
  EXPECT_EQ(
      BrowseForTextFile(configWindow, "Select Plan File", "", "*.txt", result),
      1);
  EXPECT_EQ(std::string(result), path);
}

// --- help -----------------------------------------------------------------

TEST_F(ConfigWindowTest, HelpButtonAndF1OpenTheIndex) {
  Command(IDC_HELP);
  Command(IDM_HELP);
  auto requests = vt::testing::HelpRequests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& request : requests) {
    EXPECT_EQ(request.owner, configWindow);
    EXPECT_EQ(request.file, "Velto.hlp");
    EXPECT_EQ(request.command, HELP_INDEX);
    EXPECT_EQ(request.data, 0u);
  }
}

// --- the icon and its menu ------------------------------------------------

TEST_F(ConfigWindowTest, DoubleClickOnTheIconShowsTheWindow) {
  ASSERT_FALSE(Visible());
  vt::testing::TrayMouse(WM_LBUTTONDBLCLK);
  PumpLoop();
  EXPECT_TRUE(Visible());
  EXPECT_EQ(GetForegroundWindow(), configWindow);
  // Other mouse messages do nothing.
  Command(IDC_CANCEL);
  for (UINT mouse :
       {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE}) {
    vt::testing::TrayMouse(mouse);
  }
  PumpLoop();
  EXPECT_FALSE(Visible());
  EXPECT_TRUE(vt::testing::Popups().empty());
}

TEST_F(ConfigWindowTest, RightClickOpensThePopupAtTheScreenBottom) {
  vt::testing::SetScreenSize(1024, 768);
  SetCursorPos(900, 700);
  vt::testing::ScriptPopupChoice(0);
  vt::testing::TrayMouse(WM_RBUTTONDOWN);
  PumpLoop();
  EXPECT_EQ(popupMenu, GetSubMenu(appMenu, 0));

  auto popups = vt::testing::Popups();
  ASSERT_EQ(popups.size(), 1u);
  const auto& popup = popups[0];
  EXPECT_EQ(popup.menu, popupMenu);
  EXPECT_EQ(popup.flags & (TPM_BOTTOMALIGN | TPM_RIGHTALIGN | TPM_RIGHTBUTTON),
            TPM_BOTTOMALIGN | TPM_RIGHTALIGN);
  EXPECT_EQ(popup.x, 900);
  EXPECT_EQ(popup.y, 768);
  EXPECT_EQ(popup.owner, configWindow);
  EXPECT_EQ(popup.foregroundAtOpen, configWindow);

  // Columns: command, text, separator.
  struct Expected {
    UINT id;
    const char* text;
    bool separator;
  };
  const Expected items[] = {
      {IDC_ABOUT, "A&bout Vellumtide", false},
      {0, "", true},
      {IDC_STOP_SERVER, "&Stop Server", false},
      {IDM_CONFIGURE, "&Configure", false},
      {IDC_FINGER, "&Finger", false},
      {0, "", true},
      {IDC_AWAY_LOCKED, "Away &Locked", false},
  };
  ASSERT_EQ(popup.items.size(), std::size(items));
  for (size_t i = 0; i < std::size(items); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(popup.items[i].separator, items[i].separator);
    if (items[i].separator) continue;
    EXPECT_EQ(popup.items[i].id, items[i].id);
    EXPECT_EQ(popup.items[i].text, items[i].text);
    EXPECT_FALSE(popup.items[i].checked);
  }
}

TEST_F(ConfigWindowTest, PopupCheckMarkFollowsTheLock) {
  // Before the popup first opens there is no handle to mark: no harm done.
  Command(IDC_AWAY_LOCKED);
  ASSERT_EQ(popupMenu, nullptr);

  auto openAndReadMark = [this] {
    vt::testing::ScriptPopupChoice(0);
    vt::testing::TrayMouse(WM_RBUTTONDOWN);
    PumpLoop();
    return vt::testing::Popups().back().items.back().checked;
  };
  EXPECT_TRUE(openAndReadMark()) << "a checked box marks the item on opening";
  Command(IDC_AWAY_LOCKED);
  EXPECT_FALSE(openAndReadMark());
  // Choosing the item from the menu toggles the lock like Alt+L.
  vt::testing::ScriptPopupChoice(IDC_AWAY_LOCKED);
  vt::testing::TrayMouse(WM_RBUTTONDOWN);
  PumpLoop();
  EXPECT_EQ(presence.awayLocked, 1);
  EXPECT_TRUE(LockBoxChecked());
  EXPECT_TRUE(openAndReadMark());
}

TEST_F(ConfigWindowTest, ConfigureFromThePopupShowsTheWindow) {
  vt::testing::ScriptPopupChoice(IDM_CONFIGURE);
  vt::testing::TrayMouse(WM_RBUTTONDOWN);
  PumpLoop();
  EXPECT_TRUE(Visible());
}

TEST_F(ConfigWindowTest, StopServerFromThePopupSavesUnappliedEntriesAndQuits) {
  SetText(IDC_REAL_NAME, "Not yet applied");
  SetText(IDC_AWAY_AFTER, "12");
  vt::testing::ScriptPopupChoice(IDC_STOP_SERVER);
  vt::testing::TrayMouse(WM_RBUTTONDOWN);
  int quitCode = -1;
  EXPECT_TRUE(PumpLoop(&quitCode));
  EXPECT_EQ(quitCode, 0);
  EXPECT_EQ(StoredText("Real Name"), "Not yet applied");
  EXPECT_EQ(configtest::StoredMinutes(), 12u);
  EXPECT_FALSE(Visible());
}

// --- a save that fails -----------------------------------------------------

// Puts a damaged store in the place of the one the window has been using,
// so that the key cannot even be created.
void DamageTheStore() {
  const std::string store = vt::platform::SystemRoot() + "/registry.db";
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::remove((store + suffix).c_str());
  }
  FILE* file = std::fopen(store.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs("this is not a registry, and it is long enough to seem one\n",
             file);
  std::fclose(file);
}

// Makes the store refuse the one value "Office", as a full disk would
// refuse a write, while the key and the other values are written.
void RefuseTheOfficeValue() {
  HKEY key = nullptr;
  // Any call brings the store into being with its tables.
  RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key);
  const std::string command =
      "sqlite3 '" + vt::platform::SystemRoot() +
      "/registry.db' \"CREATE TRIGGER refuse_insert BEFORE INSERT ON vals "
      "WHEN NEW.name = 'Office' BEGIN SELECT RAISE(FAIL, 'full'); END; "
      "CREATE TRIGGER refuse_update BEFORE UPDATE ON vals WHEN NEW.name = "
      "'Office' BEGIN SELECT RAISE(FAIL, 'full'); END;\"";
  ASSERT_EQ(std::system(command.c_str()), 0) << "the sqlite3 tool is needed";
}

// Columns: name, how the store fails, the command that saves, whether it
// ends the program.
struct SaveFailureCase {
  const char* name;
  void (*spoil)();
  int command;
  bool quits;
};
void PrintTo(const SaveFailureCase& c, std::ostream* os) { *os << c.name; }

class SaveFailure : public ConfigWindowTest,
                    public ::testing::WithParamInterface<SaveFailureCase> {};

// A save that does not store everything is told to the person; Apply stays
// lit for another try, and Stop Server still stops, as the person chose.
TEST_P(SaveFailure, IsToldAndLeavesApplyLit) {
  const SaveFailureCase& c = GetParam();
  c.spoil();
  ShowIt();
  SetText(IDC_REAL_NAME, "Grace");
  SetText(IDC_OFFICE, "Room 7");
  // Off before the save, so that only the failure can light it.
  EnableWindow(Item(IDC_APPLY), FALSE);
  vt::testing::Reset();
  Command(c.command);
  int quitCode = -1;
  EXPECT_EQ(PumpLoop(&quitCode), c.quits);
  std::vector<vt::testing::MessageBoxRecord> boxes =
      vt::testing::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Cannot save the settings");
  EXPECT_EQ(boxes[0].caption, "Velto Error");
  EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  EXPECT_EQ(boxes[0].owner, configWindow);
  if (c.quits) {
    EXPECT_EQ(quitCode, 0);
  } else {
    EXPECT_TRUE(ApplyEnabled());
  }
  // What could be stored is stored.
  if (c.spoil == RefuseTheOfficeValue) {
    EXPECT_EQ(StoredText("Real Name"), "Grace");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Saves, SaveFailure,
    ::testing::Values(
        SaveFailureCase{"ApplyWithoutKey", DamageTheStore, IDC_APPLY, false},
        SaveFailureCase{"OkWithoutKey", DamageTheStore, IDC_OK, false},
        SaveFailureCase{"StopWithoutKey", DamageTheStore, IDC_STOP_SERVER,
                        true},
        SaveFailureCase{"ApplyWithoutOffice", RefuseTheOfficeValue, IDC_APPLY,
                        false},
        SaveFailureCase{"OkWithoutOffice", RefuseTheOfficeValue, IDC_OK, false},
        SaveFailureCase{"StopWithoutOffice", RefuseTheOfficeValue,
                        IDC_STOP_SERVER, true}),
    [](const ::testing::TestParamInfo<SaveFailureCase>& info) {
      return info.param.name;
    });

// A save that succeeds shows nothing.
TEST_F(ConfigWindowTest, ASaveThatSucceedsShowsNothing) {
  ShowIt();
  SetText(IDC_OFFICE, "Room 7");
  vt::testing::Reset();
  Command(IDC_APPLY);
  Command(IDC_OK);
  PumpLoop();
  EXPECT_TRUE(vt::testing::MessageBoxes().empty());
  EXPECT_EQ(StoredText("Office"), "Room 7");
}

// --- the About window -------------------------------------------------------

// Finds the About window from inside its modal loop.
HWND FindAbout() {
  for (HWND window : vt::testing::TopLevelWindows()) {
    if (IsWindowVisible(window) &&
        vt::testing::TextOf(window) == "About Vellumtide") {
      return window;
    }
  }
  return nullptr;
}

struct AboutCloser {
  const char* name;
  std::function<void(HWND about)> close;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const AboutCloser& c, std::ostream* os) { *os << c.name; }

class AboutCase : public ConfigWindowTest,
                  public ::testing::WithParamInterface<AboutCloser> {};

TEST_P(AboutCase, OpensOwnedByTheMainWindowAndCloses) {
  HWND seen = nullptr;
  bool mainDisabled = false;
  bool configEnabled = false;
  bool foreground = false;
  std::string version;
  vt::testing::WhenIdle([&] {
    seen = FindAbout();
    if (seen == nullptr) return;
    mainDisabled = !IsWindowEnabled(mainWindow);
    configEnabled = IsWindowEnabled(configWindow) != 0;
    foreground = GetForegroundWindow() == seen;
    EXPECT_EQ(GetWindow(seen, GW_OWNER), mainWindow);
    GetParam().close(seen);
  });
  // Should the way of closing fail, end the window anyway, so the test
  // reports it instead of waiting for ever.
  bool forced = false;
  vt::testing::WhenIdle([&] {
    if (HWND about = FindAbout()) {
      forced = true;
      EndDialog(about, 0);
    }
  });
  Command(IDC_ABOUT);
  ASSERT_NE(seen, nullptr);
  EXPECT_TRUE(mainDisabled);
  EXPECT_TRUE(configEnabled) << "its owner is the main window, not this one";
  EXPECT_TRUE(foreground);
  EXPECT_FALSE(forced);
  EXPECT_FALSE(IsWindow(seen));
}

INSTANTIATE_TEST_SUITE_P(
    Closers, AboutCase,
    ::testing::Values(
        AboutCloser{"OkButton",
                    [](HWND about) {
                      SendMessageA(about, WM_COMMAND,
                                   MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    }},
        AboutCloser{"Enter", [](HWND) { vt::testing::PressKey(VK_RETURN); }},
        AboutCloser{"Esc", [](HWND) { vt::testing::PressKey(VK_ESCAPE); }},
        AboutCloser{"CloseBox",
                    [](HWND about) { PostMessageA(about, WM_CLOSE, 0, 0); }}),
    [](const ::testing::TestParamInfo<AboutCloser>& info) {
      return info.param.name;
    });

}  // namespace
