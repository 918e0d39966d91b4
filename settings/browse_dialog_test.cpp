// The Browse buttons through the real open-file dialog, driven by keys and
// clicks: the chosen path fills the edit and lights up Apply; Cancel
// changes nothing.
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "settings/config_window_fixture.h"

namespace {

namespace ids = vt::testing::openfile;
using configtest::ConfigWindowTest;
using vt::testing::Modifiers;

// The list boxes draw one item per 13 pixels from the top.
constexpr int kItemHeight = 13;

HWND OpenDialog(const char* title) {
  for (HWND window : vt::testing::TopLevelWindows()) {
    if (IsWindowVisible(window) && vt::testing::TextOf(window) == title)
      return window;
  }
  return nullptr;
}

// The Browse buttons start in the current folder, which is the test's own
// folder of text files here.
class BrowseDialog : public ConfigWindowTest {
 protected:
  void SetUp() override {
    ConfigWindowTest::SetUp();
    folder_ = std::string(std::getenv("VELLUMTIDE_ROOT")) + "/texts";
    std::filesystem::create_directories(folder_);
    for (const char* name : {"away.txt", "plan.txt", "notes.log"}) {
      std::ofstream(folder_ + "/" + name) << "text\n";
    }
    ASSERT_NE(::getcwd(previous_, sizeof previous_), nullptr);
    ASSERT_EQ(::chdir(folder_.c_str()), 0);
    ShowIt();
    PumpLoop();
    ASSERT_FALSE(ApplyEnabled());
  }
  void TearDown() override {
    EXPECT_EQ(::chdir(previous_), 0);
    ConfigWindowTest::TearDown();
  }

  // Each step runs at an idle moment of the dialog's modal loop, with the
  // dialog of that title.
  void Steps(const char* title, std::vector<std::function<void(HWND)>> steps) {
    vt::testing::ShowOpenFileDialog();
    for (auto& step : steps) {
      vt::testing::WhenIdle([step, title] {
        HWND dialog = OpenDialog(title);
        ASSERT_NE(dialog, nullptr) << title;
        step(dialog);
      });
    }
  }

  std::string folder_;
  char previous_[PATH_MAX] = {};
};

TEST_F(BrowseDialog, ChosenFilesFillTheEditsAndLightUpApply) {
  // Alt+R: the plan file, chosen by a double click on the second file.
  Steps("Select Plan File", {[](HWND dialog) {
          vt::testing::DoubleClickAt(GetDlgItem(dialog, ids::kFileList), 4,
                                     kItemHeight + 6);
        }});
  vt::testing::PressKey('R', Modifiers::Alt);
  PumpLoop();
  EXPECT_EQ(Text(IDC_PLAN_FILE), folder_ + "/plan.txt");
  EXPECT_TRUE(ApplyEnabled());

  // Alt+W: the away file, typed and confirmed with Enter.
  Steps("Select Away File", {[](HWND) {
          vt::testing::TypeText("away.txt");
          vt::testing::PressKey(VK_RETURN);
        }});
  vt::testing::PressKey('W', Modifiers::Alt);
  PumpLoop();
  EXPECT_EQ(Text(IDC_AWAY_FILE), folder_ + "/away.txt");

  Command(IDC_APPLY);
  EXPECT_EQ(configtest::StoredText("Plan File"), folder_ + "/plan.txt");
  EXPECT_EQ(configtest::StoredText("Away File"), folder_ + "/away.txt");
  for (const auto& record : vt::testing::OpenFileRequests()) {
    EXPECT_TRUE(record.shown);
    EXPECT_TRUE(record.succeeded);
  }
}

TEST_F(BrowseDialog, CancelAndAMissingFileChangeNothing) {
  SetText(IDC_PLAN_FILE, "");
  // Typing a name that is not there brings the message, and the dialog
  // stays.
  Steps("Select Plan File", {[](HWND) {
          vt::testing::TypeText("nothing.txt");
          vt::testing::PressKey(VK_RETURN);
        }});
  // Once the message is answered and the dialog takes input again, the
  // person clicks Cancel. The window's thread is in the dialog's loop then,
  // so this waits on a thread of its own, for as long as the watchdog
  // allows.
  std::thread person([] {
    bool seen = false;
    for (;;) {
      HWND dialog = OpenDialog("Select Plan File");
      seen = seen || dialog != nullptr;
      if (seen && dialog == nullptr) {
        ADD_FAILURE() << "the dialog closed without its message";
        return;
      }
      if (dialog && !vt::testing::MessageBoxes().empty() &&
          IsWindowEnabled(dialog)) {
        vt::testing::Click(GetDlgItem(dialog, IDCANCEL));
        return;
      }
      std::this_thread::yield();
    }
  });
  Command(IDC_BROWSE_PLAN);
  person.join();
  EXPECT_EQ(Text(IDC_PLAN_FILE), "");
  EXPECT_FALSE(ApplyEnabled());
  ASSERT_EQ(vt::testing::MessageBoxes().size(), 1u);
  EXPECT_EQ(vt::testing::MessageBoxes()[0].caption, "Select Plan File");
  ASSERT_EQ(vt::testing::OpenFileRequests().size(), 1u);
  EXPECT_FALSE(vt::testing::OpenFileRequests()[0].succeeded);
}

}  // namespace
