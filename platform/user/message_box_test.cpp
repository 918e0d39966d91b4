// Message boxes as dialogs: answered by keys and clicks as a person would,
// with the owner disabled while they are up, and answering what is sent to
// their thread while they wait.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "platform/internal/driver.h"
#include "user_test_support.h"
#include "vttest.h"

namespace {

using vt::testing::Modifiers;
using vt::user_test::Log;
using vt::user_test::NewRecorder;
using vt::user_test::SetBehaviour;

class MessageBoxes : public vt::user_test::UserTest {};

// What the person does at the box; box is the box's window.
using Action = std::function<void(HWND box)>;

void Press(UINT key, Modifiers modifiers = Modifiers::None) {
  vt::testing::PressKey(key, modifiers);
}

Action Keys(std::vector<UINT> keys) {
  return [keys](HWND) {
    for (UINT key : keys) Press(key);
  };
}

Action AltLetter(char letter) {
  return [letter](HWND) { Press(static_cast<UINT>(letter), Modifiers::Alt); };
}

Action ClickOn(int id) {
  return [id](HWND box) { vt::testing::Click(GetDlgItem(box, id)); };
}

std::string ButtonTexts(HWND box) {
  std::string all;
  for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
    if (HWND b = GetDlgItem(box, id)) all += vt::testing::TextOf(b) + "|";
  }
  return all;
}

TEST_F(MessageBoxes, KeysAndClicksAnswerEveryKindOfBox) {
  struct Case {
    const char* what;
    UINT type;
    Action action;
    int answer;
    const char* buttons;
  } cases[] = {
      {"Enter takes OK", MB_OK, Keys({VK_RETURN}), IDOK, "OK|"},
      {"Esc answers a lone OK", MB_OK | MB_ICONINFORMATION, Keys({VK_ESCAPE}),
       IDOK, "OK|"},
      {"Esc is Cancel", MB_OKCANCEL, Keys({VK_ESCAPE}), IDCANCEL, "OK|Cancel|"},
      {"the second default", MB_OKCANCEL | MB_DEFBUTTON2, Keys({VK_RETURN}),
       IDCANCEL, "OK|Cancel|"},
      {"Esc is No without Cancel", MB_YESNO | MB_ICONQUESTION,
       Keys({VK_ESCAPE}), IDNO, "&Yes|&No|"},
      {"Tab then Enter", MB_YESNO, Keys({VK_TAB, VK_RETURN}), IDNO,
       "&Yes|&No|"},
      {"Tab wraps from the third default", MB_YESNOCANCEL | MB_DEFBUTTON3,
       Keys({VK_TAB, VK_RETURN}), IDYES, "Cancel|&Yes|&No|"},
      {"Alt+N", MB_YESNOCANCEL | MB_ICONWARNING, AltLetter('N'), IDNO,
       "Cancel|&Yes|&No|"},
      {"Alt+R", MB_RETRYCANCEL | MB_ICONERROR, AltLetter('R'), IDRETRY,
       "Cancel|&Retry|"},
      {"Esc leaves Abort/Retry/Ignore up, Alt+I answers", MB_ABORTRETRYIGNORE,
       Keys({VK_ESCAPE}), 0, "&Abort|&Retry|&Ignore|"},
      {"click OK", MB_OKCANCEL, ClickOn(IDOK), IDOK, "OK|Cancel|"},
      {"click Cancel", MB_OKCANCEL, ClickOn(IDCANCEL), IDCANCEL, "OK|Cancel|"},
      {"click Yes", MB_YESNOCANCEL, ClickOn(IDYES), IDYES, "Cancel|&Yes|&No|"},
      {"click No", MB_YESNOCANCEL, ClickOn(IDNO), IDNO, "Cancel|&Yes|&No|"},
      {"click Retry", MB_RETRYCANCEL, ClickOn(IDRETRY), IDRETRY,
       "Cancel|&Retry|"},
      {"click Abort", MB_ABORTRETRYIGNORE, ClickOn(IDABORT), IDABORT,
       "&Abort|&Retry|&Ignore|"},
  };
  HWND owner = NewRecorder("owner");
  ShowWindow(owner, SW_SHOW);
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::atomic<bool> ownerEnabled{true};
    std::string buttons;
    vt::testing::WhenIdle([&] {
      HWND box = GetForegroundWindow();
      ownerEnabled = IsWindowEnabled(owner) != FALSE;
      buttons = ButtonTexts(box);
      c.action(box);
      // A box the action leaves up is answered by its mnemonic.
      if (c.answer == 0 && IsWindow(box)) AltLetter('I')(box);
    });
    int answer = MessageBoxA(owner, "The text of the box", "Caption", c.type);
    EXPECT_EQ(answer, c.answer ? c.answer : IDIGNORE);
    EXPECT_EQ(buttons, c.buttons);
    EXPECT_FALSE(ownerEnabled) << "the owner is disabled while the box is up";
    EXPECT_TRUE(IsWindowEnabled(owner)) << "and enabled after";
  }
  auto records = vt::testing::MessageBoxes();
  ASSERT_EQ(records.size(), std::size(cases));
  EXPECT_EQ(records[0].text, "The text of the box");
  EXPECT_TRUE(records[0].ownerWasDisabled);
}

TEST_F(MessageBoxes, TheBoxIsCentredOnItsOwnerAndSizedToItsText) {
  HWND owner = NewRecorder("owner");
  SetWindowPos(owner, nullptr, 100, 100, 600, 400, SWP_NOZORDER);
  ShowWindow(owner, SW_SHOW);
  RECT shortBox{}, longBox{};
  auto measure = [&](RECT* into) {
    vt::testing::WhenIdle([into] {
      HWND box = GetForegroundWindow();
      GetWindowRect(box, into);
      Press(VK_RETURN);
    });
  };
  measure(&shortBox);
  MessageBoxA(owner, "Short.", "Caption", MB_OK);
  measure(&longBox);
  MessageBoxA(owner,
              "A much longer text that wraps over more than one line of the "
              "box, as the text of a real question often does when it "
              "explains what is about to happen and why.",
              "Caption", MB_OK | MB_ICONWARNING);
  // The owner's centre is (400, 300).
  EXPECT_NEAR((shortBox.left + shortBox.right) / 2, 400, 1);
  EXPECT_NEAR((shortBox.top + shortBox.bottom) / 2, 300, 1);
  EXPECT_GT(longBox.right - longBox.left, shortBox.right - shortBox.left);
  EXPECT_GT(longBox.bottom - longBox.top, shortBox.bottom - shortBox.top);
  EXPECT_LE(longBox.right - longBox.left, 1024 / 2 + 120)
      << "the text wraps at half the screen";
}

// Each kind of icon shows a picture of its own at the box's left, 32 pixels
// square, round or triangular (its corners clear, its middle solid), and
// the text beside it rather than over it.
TEST_F(MessageBoxes, EachIconShowsItsOwnPictureLeftOfTheText) {
  struct Case {
    const char* what;
    UINT type;
  } cases[] = {
      {"error", MB_ICONERROR},
      {"warning", MB_ICONWARNING},
      {"information", MB_ICONINFORMATION},
      {"question", MB_ICONQUESTION},
  };
  HWND owner = NewRecorder("owner");
  ShowWindow(owner, SW_SHOW);
  std::vector<const std::uint32_t*> seen;
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    const vtres::IconImage* large = nullptr;
    RECT iconRect{}, textRect{};
    vt::testing::WhenIdle([&] {
      HWND box = GetForegroundWindow();
      HWND iconControl = nullptr;
      HWND textControl = nullptr;
      for (HWND child = GetWindow(box, GW_CHILD); child;
           child = GetWindow(child, GW_HWNDNEXT)) {
        if (SendMessageA(child, STM_GETICON, 0, 0))
          iconControl = child;
        else if (vt::testing::TextOf(child) == "The text of the box")
          textControl = child;
      }
      if (iconControl && textControl) {
        auto icon = reinterpret_cast<HICON>(
            SendMessageA(iconControl, STM_GETICON, 0, 0));
        if (const vtres::Icon* picture = vt::platform::IconResource(icon)) {
          for (int i = 0; i < picture->imageCount; ++i)
            if (picture->images[i].width == 32) large = &picture->images[i];
        }
        GetWindowRect(iconControl, &iconRect);
        GetWindowRect(textControl, &textRect);
      }
      Press(VK_RETURN);
    });
    MessageBoxA(owner, "The text of the box", "Caption", MB_OK | c.type);
    ASSERT_NE(large, nullptr) << "no 32 x 32 picture in the box";
    ASSERT_EQ(large->height, 32);
    auto alpha = [&](int x, int y) { return large->argb[y * 32 + x] >> 24; };
    EXPECT_EQ(alpha(0, 0), 0u) << "the top-left corner is clear";
    EXPECT_EQ(alpha(16, 20), 0xFFu) << "the middle is solid";
    for (const std::uint32_t* other : seen)
      EXPECT_NE(other, large->argb) << "a picture of its own";
    seen.push_back(large->argb);
    EXPECT_LE(iconRect.right, textRect.left) << "the text is beside the icon";
    EXPECT_LE(textRect.left - iconRect.right, 16) << "and close to it";
  }
}

// The box runs the modal loop of dialogs: a message sent to its thread
// from another thread, and a keyboard hook that sends to it from the input
// thread while the key that answers the box is on its way, are both
// answered while the box waits.
TEST_F(MessageBoxes, SentMessagesAndHookSendsAreAnsweredWhileTheBoxWaits) {
  HWND owner = NewRecorder("owner");
  ShowWindow(owner, SW_SHOW);
  std::atomic<bool> boxUpWhenSent{false};
  std::atomic<int> hookSends{0};
  SetBehaviour([&](HWND w, UINT m, WPARAM, LPARAM, LRESULT* result) {
    if (w != owner) return false;
    if (m == WM_USER + 1) {
      boxUpWhenSent = FindWindowA(nullptr, "Wait") != nullptr;
      *result = 41;
      return true;
    }
    if (m == WM_USER + 2) {
      ++hookSends;
      return true;
    }
    return false;
  });
  static HWND hookTarget;
  hookTarget = owner;
  HHOOK hook = SetWindowsHookExA(
      WH_KEYBOARD,
      [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
        // As the hook library does: from the input thread, to the program.
        SendMessageA(hookTarget, WM_USER + 2, 0, 0);
        return CallNextHookEx(nullptr, code, wParam, lParam);
      },
      nullptr, 0);
  ASSERT_NE(hook, nullptr);
  std::atomic<LRESULT> sentAnswer{0};
  std::atomic<bool> pressed{false};
  std::thread other;
  vt::testing::WhenIdle([&] {
    other = std::thread([&] {
      sentAnswer = SendMessageA(owner, WM_USER + 1, 0, 0);
      Press(VK_RETURN);
      pressed = true;
    });
  });
  EXPECT_EQ(MessageBoxA(owner, "Waiting", "Wait", MB_OKCANCEL), IDOK);
  // The key's release comes after the box is gone, and its hook sends here
  // too: this thread answers until the other is done.
  EXPECT_TRUE(vt::testing::PumpUntil([&] { return pressed.load(); }));
  other.join();
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(sentAnswer, 41);
  EXPECT_TRUE(boxUpWhenSent);
  EXPECT_EQ(hookSends, 2) << "key down and key up each went through the hook";
}

TEST_F(MessageBoxes, AScriptAnswersByPressingTheButtonItNames) {
  HWND owner = NewRecorder("owner");
  ShowWindow(owner, SW_SHOW);
  Log::Get().Watch({WM_ENABLE});
  vt::testing::ScriptMessageBoxAnswers({IDRETRY, IDYES});
  EXPECT_EQ(MessageBoxA(owner, "Again?", "Retry", MB_RETRYCANCEL), IDRETRY);
  // A script may name a button the box lacks; the box still ends with it.
  EXPECT_EQ(MessageBoxA(owner, "Fine.", "Done", MB_OK), IDYES);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(FindWindowA(nullptr, "Retry"), nullptr) << "the box is gone";
}

}  // namespace
