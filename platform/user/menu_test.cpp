// Accelerator tables as a program's own loop uses them, and popup menus.
#include "platform/user/user_test_support.h"
#include "vtresource.h"

namespace {

using vt::testing::Modifiers;
using vt::user_test::Log;
using vt::user_test::NewRecorder;
using vt::user_test::Row;

constexpr int kAccelerators = 9200;
constexpr int kMenu = 9300;

// Columns: flags, key, command.
const ACCEL kEntries[] = {
    {FVIRTKEY | FNOINVERT | FALT, 'A', 1052},
    {FVIRTKEY | FNOINVERT | FALT, 'L', 1045},
    {FVIRTKEY | FNOINVERT, VK_ESCAPE, 1029},
    {FVIRTKEY | FNOINVERT, VK_F1, 40014},
    {FVIRTKEY | FNOINVERT, VK_RETURN, 40009},
    {FVIRTKEY | FNOINVERT, VK_TAB, 40008},
    {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, 40013},
};
const vtres::Accelerators kTable = {kEntries, 7};
VT_RESOURCE(Accelerator, kAccelerators, kTable);

// Columns: flags, command, text.
const vtres::MenuItem kMenuItems[] = {
    {MF_POPUP | MF_END, 0, "Popup"},
    {MF_STRING, 1021, "A&bout"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_STRING, 1017, "&Stop"},
    {MF_STRING | MF_GRAYED, 1022, "&Finger"},
    {MF_STRING | MF_END, 1045, "Away &Locked"},
};
const vtres::Menu kTestMenu = {kMenuItems, 6};
VT_RESOURCE(Menu, kMenu, kTestMenu);

class Menus : public vt::user_test::UserTest {};

// The loop of a program whose keys go through an accelerator table for
// one window first, and are dispatched in any case.
void ProgramLoop(HWND window, HACCEL table) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (!TranslateAcceleratorA(window, table, &msg)) TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

TEST_F(Menus, AcceleratorsMatchTheModifiersExactly) {
  HACCEL table = LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(kAccelerators));
  ASSERT_NE(table, nullptr);
  HWND window = NewRecorder("target");
  // The key goes to a focused child; the command to the window named.
  HWND child = NewRecorder("child", WS_CHILD | WS_VISIBLE, window, 5);
  ShowWindow(window, SW_SHOW);
  SetFocus(child);
  struct Case {
    const char* name;
    UINT key;
    Modifiers modifiers;
    std::vector<Row> rows;
  } cases[] = {
      {"Alt+A", 'A', Modifiers::Alt, {{WM_COMMAND, MAKEWPARAM(1052, 1), 0}}},
      {"Alt+L", 'L', Modifiers::Alt, {{WM_COMMAND, MAKEWPARAM(1045, 1), 0}}},
      {"Esc",
       VK_ESCAPE,
       Modifiers::None,
       {{WM_COMMAND, MAKEWPARAM(1029, 1), 0}}},
      {"F1", VK_F1, Modifiers::None, {{WM_COMMAND, MAKEWPARAM(40014, 1), 0}}},
      {"Enter",
       VK_RETURN,
       Modifiers::None,
       {{WM_COMMAND, MAKEWPARAM(40009, 1), 0}}},
      {"Tab", VK_TAB, Modifiers::None, {{WM_COMMAND, MAKEWPARAM(40008, 1), 0}}},
      {"Shift+Tab",
       VK_TAB,
       Modifiers::Shift,
       {{WM_COMMAND, MAKEWPARAM(40013, 1), 0}}},
      {"Alt+H is not in the table", 'H', Modifiers::Alt, {}},
      {"A without Alt", 'A', Modifiers::None, {}},
      {"Ctrl+Tab", VK_TAB, Modifiers::Control, {}},
      {"Alt+Shift+A", 'A', Modifiers::Alt | Modifiers::Shift, {}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    Log::Get().Watch({WM_COMMAND});
    vt::testing::PressKey(c.key, c.modifiers);
    ProgramLoop(window, table);
    EXPECT_EQ(Log::Get().Take(), c.rows);
  }
  EXPECT_TRUE(DestroyAcceleratorTable(table));
}

TEST_F(Menus, AltKeysArriveAsSystemKeysWithAltInTheirLParam) {
  HWND window = NewRecorder();
  ShowWindow(window, SW_SHOW);
  Log::Get().Watch(
      {WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSKEYUP, WM_KEYDOWN, WM_CHAR});
  vt::testing::PressKey('X', Modifiers::Alt);
  vt::testing::PumpPending();
  const LPARAM alt = static_cast<LPARAM>(KF_ALTDOWN) << 16;
  EXPECT_EQ(Log::Get().Take(),
            (std::vector<Row>{
                {WM_SYSKEYDOWN, 'X', alt | 1},
                {WM_SYSCHAR, 'x', alt | 1},
                {WM_SYSKEYUP, 'X', alt | static_cast<LPARAM>(0xC0000001u)}}));
  vt::testing::PressKey('X', Modifiers::Shift);
  vt::testing::PumpPending();
  EXPECT_EQ(Log::Get().Take(),
            (std::vector<Row>{{WM_KEYDOWN, 'X', 1}, {WM_CHAR, 'X', 1}}));
}

TEST_F(Menus, MenuFromTemplateWithCheckMarks) {
  HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(kMenu));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), 1);
  HMENU popup = GetSubMenu(menu, 0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(GetMenuItemCount(popup), 5);
  EXPECT_EQ(GetMenuItemID(popup, 3), 1022u);
  char text[32];
  EXPECT_EQ(GetMenuStringA(popup, 1045, text, sizeof text, MF_BYCOMMAND), 12);
  EXPECT_STREQ(text, "Away &Locked");
  EXPECT_EQ(GetMenuState(popup, 1, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
  EXPECT_EQ(GetMenuState(popup, 1022, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);

  EXPECT_EQ(CheckMenuItem(popup, 1045, MF_BYCOMMAND | MF_CHECKED),
            MF_UNCHECKED);
  EXPECT_EQ(CheckMenuItem(popup, 1045, MF_BYCOMMAND | MF_CHECKED), MF_CHECKED);
  EXPECT_EQ(CheckMenuItem(menu, 1045, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED)
      << "by command, submenus are searched";
  EXPECT_EQ(CheckMenuItem(popup, 4242, MF_BYCOMMAND | MF_CHECKED),
            static_cast<DWORD>(-1));
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_FALSE(IsMenu(popup)) << "destroying a menu takes its popups along";
  EXPECT_EQ(CheckMenuItem(popup, 1045, MF_BYCOMMAND | MF_CHECKED),
            static_cast<DWORD>(-1));
}

TEST_F(Menus, PopupMenuChoiceArrivesAsACommandAtItsOwner) {
  HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(kMenu));
  HMENU popup = GetSubMenu(menu, 0);
  HWND owner = NewRecorder("owner");
  ShowWindow(owner, SW_SHOW);
  CheckMenuItem(popup, 1045, MF_BYCOMMAND | MF_CHECKED);
  Log::Get().Watch({WM_COMMAND});

  vt::testing::ScriptPopupChoice(1017);
  EXPECT_TRUE(TrackPopupMenu(popup, TPM_BOTTOMALIGN | TPM_RIGHTALIGN, 300, 768,
                             0, owner, nullptr));
  EXPECT_TRUE(Log::Get().Take().empty()) << "the command is posted, not sent";
  vt::testing::PumpPending();
  EXPECT_EQ(Log::Get().Take(), (std::vector<Row>{{WM_COMMAND, 1017, 0}}));

  auto popups = vt::testing::Popups();
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_EQ(popups[0].menu, popup);
  EXPECT_EQ(popups[0].flags, TPM_BOTTOMALIGN | TPM_RIGHTALIGN);
  EXPECT_EQ(popups[0].x, 300);
  EXPECT_EQ(popups[0].y, 768);
  EXPECT_EQ(popups[0].owner, owner);
  EXPECT_EQ(popups[0].foregroundAtOpen, owner);
  ASSERT_EQ(popups[0].items.size(), 5u);
  EXPECT_TRUE(popups[0].items[1].separator);
  EXPECT_TRUE(popups[0].items[3].grayed);
  EXPECT_TRUE(popups[0].items[4].checked);
  EXPECT_EQ(popups[0].items[4].text, "Away &Locked");

  // A grayed item cannot be chosen, a dismissed menu sends nothing, and
  // TPM_RETURNCMD hands the command back instead of posting it.
  vt::testing::ScriptPopupChoice(1022);
  TrackPopupMenu(popup, 0, 0, 0, 0, owner, nullptr);
  TrackPopupMenu(popup, 0, 0, 0, 0, owner, nullptr);
  vt::testing::ScriptPopupChoice(1021);
  EXPECT_EQ(TrackPopupMenu(popup, TPM_RETURNCMD, 0, 0, 0, owner, nullptr),
            1021);
  vt::testing::PumpPending();
  EXPECT_TRUE(Log::Get().Take().empty());
  DestroyMenu(menu);
}

}  // namespace
