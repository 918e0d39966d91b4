// The open-file dialog itself, over a real folder of its own, driven by
// keys and clicks as a person drives it: what it lists, the filter, moving
// between folders, choosing, the checks with their messages, and Cancel.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "vttest.h"

namespace {

namespace ids = vt::testing::openfile;
using vt::testing::Modifiers;

constexpr char kFilter[] =
    "Text Files(*.txt)\0*.txt\0Logs(*.log)\0*.log\0All Files(*.*)\0*.*\0";
constexpr DWORD kProgramFlags =
    OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_LONGNAMES;
constexpr char kTitle[] = "Select Plan File";
// The list boxes draw one item per 13 pixels from the top.
constexpr int kItemHeight = 13;
// "café.txt" as the ANSI code page writes it.
const std::string kCafeAnsi = "caf\xE9.txt";

// A folder of its own: docs/ with a few files and one subfolder, and a
// hidden file that the dialog leaves out.
class OpenFileDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    docs_ = root_.path() + "/docs";
    ::mkdir(docs_.c_str(), 0700);
    ::mkdir((docs_ + "/sub").c_str(), 0700);
    ::mkdir((docs_ + "/.git").c_str(), 0700);
    for (const char* name : {"a.txt", "b.log", "caf\xC3\xA9.txt", "Notes.TXT",
                             "README", ".hidden.txt", "sub/inner.txt"}) {
      std::ofstream(docs_ + "/" + name) << "text\n";
    }
    request_.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request_.lpstrFilter = kFilter;
    request_.nFilterIndex = 1;
    request_.lpstrFile = file_;
    request_.nMaxFile = sizeof file_;
    request_.lpstrFileTitle = fileTitle_;
    request_.nMaxFileTitle = sizeof fileTitle_;
    request_.lpstrInitialDir = docs_.c_str();
    request_.lpstrTitle = kTitle;
    request_.Flags = kProgramFlags;
    std::strcpy(file_, "*.txt");
  }

  // Shows the dialog and runs each step, one per idle moment of its modal
  // loop, with the dialog's handle. A dialog still open after the last step
  // is a failure, and is cancelled so the test ends; a step left when the
  // dialog has closed is one too. Every step is used up before Run returns,
  // so none is left for the next dialog.
  BOOL Run(std::vector<std::function<void(HWND)>> steps,
           bool cancelWhenLeftOpen = true) {
    auto closed = std::make_shared<bool>(false);
    auto left = std::make_shared<std::size_t>(steps.size() + 1);
    vt::testing::ShowOpenFileDialog();
    for (auto& step : steps) {
      vt::testing::WhenIdle([step, closed, left] {
        --*left;
        if (*closed) {
          ADD_FAILURE() << "the dialog closed before a step";
          return;
        }
        step(Dialog());
      });
    }
    vt::testing::WhenIdle([closed, left, cancelWhenLeftOpen] {
      --*left;
      if (HWND dialog = Dialog(); dialog && !*closed && cancelWhenLeftOpen) {
        ADD_FAILURE() << "the dialog is still open";
        EndDialog(dialog, IDCANCEL);
      }
    });
    const BOOL result = GetOpenFileNameA(&request_);
    *closed = true;
    EXPECT_TRUE(vt::testing::PumpUntil([left] { return *left == 0; }));
    return result;
  }

  static HWND Dialog() {
    for (HWND window : vt::testing::TopLevelWindows()) {
      if (IsWindowVisible(window) && vt::testing::TextOf(window) == kTitle)
        return window;
    }
    return nullptr;
  }

  static std::vector<std::string> Items(HWND dialog, int id) {
    std::vector<std::string> items;
    const LRESULT count = SendDlgItemMessageA(dialog, id, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      char text[512] = {};
      SendDlgItemMessageA(dialog, id, LB_GETTEXT, static_cast<WPARAM>(i),
                          reinterpret_cast<LPARAM>(text));
      items.emplace_back(text);
    }
    return items;
  }

  static std::string Text(HWND dialog, int id) {
    return vt::testing::TextOf(GetDlgItem(dialog, id));
  }

  // The first item that reads item once its indent is taken off.
  static void DoubleClickItem(HWND dialog, int id, const std::string& item) {
    const auto items = Items(dialog, id);
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i].substr(items[i].find_first_not_of(' ')) == item) {
        vt::testing::DoubleClickAt(GetDlgItem(dialog, id), 4,
                                   static_cast<int>(i) * kItemHeight + 6);
        return;
      }
    }
    ADD_FAILURE() << "no item " << item;
  }

  static void TypeName(HWND dialog, const std::string& text) {
    SetFocus(GetDlgItem(dialog, ids::kFileName));
    SendDlgItemMessageA(dialog, ids::kFileName, EM_SETSEL, 0, -1);
    vt::testing::TypeText(text);
    vt::testing::PressKey(VK_RETURN);
  }

  vt::testing::ScopedSystemRoot root_;
  std::string docs_;
  char file_[256] = {};
  char fileTitle_[256] = {};
  OPENFILENAMEA request_{};
};

TEST_F(OpenFileDialog, ListsTheFolderAndSwitchesTheFilter) {
  std::vector<std::string> files;
  std::vector<std::string> folders;
  std::string label;
  std::string name;
  const BOOL chosen = Run({
      [&](HWND dialog) {
        ASSERT_NE(dialog, nullptr);
        files = Items(dialog, ids::kFileList);
        folders = Items(dialog, ids::kFolderList);
        label = Text(dialog, ids::kFolderLabel);
        name = Text(dialog, ids::kFileName);
        // The drop-down list is reached by Alt+T and moved with the arrows.
        vt::testing::PressKey('T', Modifiers::Alt);
        vt::testing::PressKey(VK_DOWN);
      },
      [&](HWND dialog) {
        EXPECT_EQ(Text(dialog, ids::kFileTypes), "Logs(*.log)");
        EXPECT_EQ(Items(dialog, ids::kFileList),
                  std::vector<std::string>{"b.log"});
        EXPECT_EQ(Text(dialog, ids::kFileName), "*.log");
        vt::testing::PressKey(VK_DOWN);
      },
      [&](HWND dialog) {
        EXPECT_EQ(Items(dialog, ids::kFileList),
                  (std::vector<std::string>{"a.txt", "b.log", kCafeAnsi,
                                            "Notes.TXT", "README"}));
        vt::testing::Click(GetDlgItem(dialog, IDCANCEL));
      },
  });
  EXPECT_FALSE(chosen);
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_STREQ(file_, "*.txt");

  // Hidden names are left out; the name with é is shown in the code page.
  EXPECT_EQ(files, (std::vector<std::string>{"a.txt", kCafeAnsi, "Notes.TXT"}));
  EXPECT_EQ(label, docs_);
  EXPECT_EQ(name, "*.txt");
  // A line per level from the root, the current folder last of them, then
  // its subfolders one step further in.
  ASSERT_GE(folders.size(), 3u);
  EXPECT_EQ(folders.front(), "/");
  EXPECT_EQ(folders[folders.size() - 2].find_first_not_of(' ') + 2,
            folders.back().find_first_not_of(' '));
  EXPECT_EQ(folders[folders.size() - 2].substr(
                folders[folders.size() - 2].find_first_not_of(' ')),
            "docs");
  EXPECT_EQ(folders.back().substr(folders.back().find_first_not_of(' ')),
            "sub");
  const auto record = vt::testing::OpenFileRequests().at(0);
  EXPECT_TRUE(record.shown);
  EXPECT_FALSE(record.succeeded);
}

TEST_F(OpenFileDialog, MovesBetweenFoldersAndChoosesAFile) {
  const BOOL chosen = Run({
      [&](HWND dialog) { DoubleClickItem(dialog, ids::kFolderList, "sub"); },
      [&](HWND dialog) {
        EXPECT_EQ(Text(dialog, ids::kFolderLabel), docs_ + "/sub");
        EXPECT_EQ(Items(dialog, ids::kFileList),
                  std::vector<std::string>{"inner.txt"});
        // A typed folder path and Enter go there.
        TypeName(dialog, docs_);
      },
      [&](HWND dialog) {
        EXPECT_EQ(Text(dialog, ids::kFolderLabel), docs_);
        EXPECT_EQ(Text(dialog, ids::kFileName), "*.txt");
        // So does a relative one.
        TypeName(dialog, "sub/../sub");
      },
      [&](HWND dialog) {
        EXPECT_EQ(Text(dialog, ids::kFolderLabel), docs_ + "/sub");
        // A typed pattern filters the list.
        TypeName(dialog, "..\\*.log");
      },
      [&](HWND dialog) {
        EXPECT_EQ(Text(dialog, ids::kFolderLabel), docs_);
        EXPECT_EQ(Items(dialog, ids::kFileList),
                  std::vector<std::string>{"b.log"});
        DoubleClickItem(dialog, ids::kFileList, "b.log");
      },
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(std::string(file_), docs_ + "/b.log");
  EXPECT_STREQ(fileTitle_, "b.log");
  EXPECT_EQ(request_.nFileOffset, docs_.size() + 1);
}

TEST_F(OpenFileDialog, MissingFileOrPathIsRefusedWithTheMessageAndStaysOpen) {
  // typed name, the message's text
  const struct {
    std::string typed;
    std::string message;
  } kCases[] = {
      {"nothing.txt",
       "nothing.txt\nFile not found.\nPlease verify the correct file name was "
       "given."},
      {"/no/such/x.txt",
       "/no/such\nPath does not exist.\nPlease verify the correct path was "
       "given."},
      {"gone/*.txt",
       docs_ +
           "/gone\nPath does not exist.\nPlease verify the correct path was "
           "given."},
  };
  for (const auto& c : kCases) {
    vt::testing::Reset();
    bool disabledUnderTheMessage = false;
    std::string nameAfter;
    // Once the message has been answered and the dialog takes input again,
    // the person presses Esc. The dialog's thread is in its modal loop then,
    // so this waits on a thread of its own, for as long as the watchdog
    // allows.
    std::thread person([&] {
      bool seen = false;
      for (;;) {
        HWND dialog = Dialog();
        seen = seen || dialog != nullptr;
        if (seen && dialog == nullptr) {
          ADD_FAILURE() << "the dialog closed without its message";
          return;
        }
        if (dialog && !vt::testing::MessageBoxes().empty() &&
            IsWindowEnabled(dialog)) {
          nameAfter = Text(dialog, ids::kFileName);
          vt::testing::PressKey(VK_ESCAPE);
          return;
        }
        std::this_thread::yield();
      }
    });
    const BOOL chosen =
        Run({
                [&](HWND dialog) { TypeName(dialog, c.typed); },
                // The message is modal to the dialog while it is up.
                [&](HWND dialog) {
                  disabledUnderTheMessage = !IsWindowEnabled(dialog);
                  // The person reads the message and presses Enter.
                  vt::testing::PressKey(VK_RETURN);
                },
            },
            false);
    person.join();
    EXPECT_TRUE(disabledUnderTheMessage) << c.typed;
    // The dialog stayed open with the name, for the person to correct.
    EXPECT_EQ(nameAfter, c.typed);
    EXPECT_FALSE(chosen) << c.typed;
    const auto boxes = vt::testing::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u) << c.typed;
    EXPECT_EQ(boxes[0].text, c.message);
    EXPECT_EQ(boxes[0].caption, kTitle);
    EXPECT_EQ(boxes[0].type & MB_ICONEXCLAMATION, MB_ICONEXCLAMATION);
  }
}

TEST_F(OpenFileDialog, WithoutTheChecksAMissingFileIsChosen) {
  request_.Flags = OFN_HIDEREADONLY;
  const BOOL chosen = Run({[&](HWND dialog) { TypeName(dialog, "new.txt"); }});
  ASSERT_TRUE(chosen);
  EXPECT_EQ(std::string(file_), docs_ + "/new.txt");
  EXPECT_TRUE(vt::testing::MessageBoxes().empty());
}

TEST_F(OpenFileDialog, ANameOutsideTheCodePageIsShownAndReturnedInIt) {
  std::ofstream(docs_ + "/plan-\xE2\x82\xAC.txt") << "euro\n";  // in 1252
  std::ofstream(docs_ + "/plan-\xC5\x82.txt") << "l stroke\n";  // not in it
  std::vector<std::string> files;
  BOOL chosen = Run({
      [&](HWND dialog) {
        files = Items(dialog, ids::kFileList);
        DoubleClickItem(dialog, ids::kFileList, kCafeAnsi);
      },
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(std::string(file_), docs_ + "/" + kCafeAnsi);
  EXPECT_EQ(files, (std::vector<std::string>{"a.txt", kCafeAnsi, "Notes.TXT",
                                             "plan-?.txt", "plan-\x80.txt"}));

  // The name shown with '?' still chooses its own file, not a pattern.
  chosen = Run({
      [&](HWND dialog) {
        DoubleClickItem(dialog, ids::kFileList, "plan-?.txt");
      },
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(std::string(file_), docs_ + "/plan-?.txt");
  // That form is one the platform's own file calls open.
  EXPECT_NE(GetFileAttributesA(file_), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OpenFileDialog, ReadOnlyBoxOnlyWhenNotHidden) {
  // flags, box shown
  const struct {
    DWORD flags;
    bool shown;
  } kCases[] = {{kProgramFlags, false}, {OFN_FILEMUSTEXIST, true}};
  for (const auto& c : kCases) {
    request_.Flags = c.flags;
    bool shown = !c.shown;
    Run({[&](HWND dialog) {
      shown = IsWindowVisible(GetDlgItem(dialog, 0x410)) != FALSE;
      if (c.shown) vt::testing::Click(GetDlgItem(dialog, 0x410));
      TypeName(dialog, "a.txt");
    }});
    EXPECT_EQ(shown, c.shown) << c.flags;
    EXPECT_EQ((request_.Flags & OFN_READONLY) != 0, c.shown) << c.flags;
  }
}

TEST_F(OpenFileDialog, APathTooLongForTheBufferIsTheTargetsError) {
  request_.nMaxFile = static_cast<DWORD>(docs_.size() + 4);
  const BOOL chosen = Run({[&](HWND dialog) { TypeName(dialog, "a.txt"); }});
  EXPECT_FALSE(chosen);
  EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
  WORD needed = 0;
  std::memcpy(&needed, file_, sizeof needed);
  EXPECT_EQ(needed, docs_.size() + 7);
}

}  // namespace
