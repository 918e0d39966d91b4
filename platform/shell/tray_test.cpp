// The notification area: icon life, the record sizes accepted, the tip's
// limit, the host's view of the changes and a click reaching the owner.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/drivers/null/null_driver.h"
#include "platform/shell/tray.h"
#include "vttest.h"

namespace {

constexpr UINT kCallback = 32868;
constexpr UINT kIconId = 110;

NOTIFYICONDATAA IconData(HWND owner, const std::string& tip,
                         DWORD size = NOTIFYICONDATAA_V1_SIZE) {
  NOTIFYICONDATAA data{};
  data.cbSize = size;
  data.hWnd = owner;
  data.uID = kIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kCallback;
  data.hIcon = reinterpret_cast<HICON>(static_cast<ULONG_PTR>(0x1234));
  std::strncpy(data.szTip, tip.c_str(), sizeof data.szTip - 1);
  return data;
}

HWND FakeOwner(ULONG_PTR value) { return reinterpret_cast<HWND>(value); }

TEST(Tray, AddModifyDeleteKeepTheIconState) {
  const HWND owner = FakeOwner(0x1000);
  NOTIFYICONDATAA data = IconData(owner, "Velto (Status: Here)");
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  vt::testing::TrayIconRecord icon = vt::testing::TrayIcon();
  EXPECT_TRUE(icon.present);
  EXPECT_EQ(icon.structSize, 88u);
  EXPECT_EQ(icon.owner, owner);
  EXPECT_EQ(icon.id, kIconId);
  EXPECT_EQ(icon.flags, 7u);
  EXPECT_EQ(icon.callbackMessage, kCallback);
  EXPECT_EQ(icon.icon, data.hIcon);
  EXPECT_EQ(icon.tip, "Velto (Status: Here)");

  // A second add of the same icon is refused and changes nothing.
  NOTIFYICONDATAA again = IconData(owner, "other");
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &again));
  EXPECT_EQ(vt::testing::TrayIcon().tip, "Velto (Status: Here)");

  // A modify changes only the fields its flags name.
  NOTIFYICONDATAA tipOnly = IconData(owner, "Velto (Status: Away)");
  tipOnly.uFlags = NIF_TIP;
  tipOnly.hIcon = nullptr;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &tipOnly));
  icon = vt::testing::TrayIcon();
  EXPECT_EQ(icon.tip, "Velto (Status: Away)");
  EXPECT_EQ(icon.icon, data.hIcon);

  NOTIFYICONDATAA removal = IconData(owner, "Vellumtide Status");
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &removal));
  EXPECT_FALSE(vt::testing::TrayIcon().present);
  EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &removal));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &removal));

  // message, tip passed, succeeded, present afterwards
  const struct {
    DWORD message;
    const char* tip;
    bool succeeded;
    bool present;
  } kExpected[] = {
      {NIM_ADD, "Velto (Status: Here)", true, true},
      {NIM_ADD, "other", false, true},
      {NIM_MODIFY, "Velto (Status: Away)", true, true},
      {NIM_DELETE, "Vellumtide Status", true, false},
      {NIM_MODIFY, "Vellumtide Status", false, false},
      {NIM_DELETE, "Vellumtide Status", false, false},
  };
  const auto calls = vt::testing::TrayCalls();
  ASSERT_EQ(calls.size(), std::size(kExpected));
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].message, kExpected[i].message) << i;
    EXPECT_EQ(calls[i].data.tip, kExpected[i].tip) << i;
    EXPECT_EQ(calls[i].succeeded, kExpected[i].succeeded) << i;
    EXPECT_EQ(calls[i].data.present, kExpected[i].present) << i;
  }
}

TEST(Tray, AcceptsBothRecordSizesAndNoOther) {
  const HWND owner = FakeOwner(0x2000);
  // size given, accepted
  const struct {
    DWORD size;
    bool accepted;
  } kCases[] = {
      {NOTIFYICONDATAA_V1_SIZE, true},
      {sizeof(NOTIFYICONDATAA), true},
      {0, false},
      {87, false},
      {4096, false},
  };
  for (const auto& c : kCases) {
    NOTIFYICONDATAA data = IconData(owner, "tip", c.size);
    EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &data) != FALSE, c.accepted) << c.size;
    if (c.accepted) {
      EXPECT_EQ(vt::testing::TrayIcon().structSize, c.size);
      EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
    }
  }
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, nullptr));
  EXPECT_FALSE(Shell_NotifyIconA(7, nullptr));
}

TEST(Tray, TipIsCutTo63CharactersEvenWithoutATerminator) {
  const HWND owner = FakeOwner(0x3000);
  NOTIFYICONDATAA data = IconData(owner, "");
  // All 64 bytes filled: the call must neither read past the field nor keep
  // more than 63 characters.
  std::memset(data.szTip, 'x', sizeof data.szTip);
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  EXPECT_EQ(vt::testing::TrayIcon().tip, std::string(63, 'x'));

  const std::string exact(63, 'y');
  std::strcpy(data.szTip, exact.c_str());
  ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &data));
  EXPECT_EQ(vt::testing::TrayIcon().tip, exact);

  data.szTip[0] = '\0';
  ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &data));
  EXPECT_EQ(vt::testing::TrayIcon().tip, "");
}

TEST(Tray, IconsAreKeptPerOwnerAndId) {
  const HWND first = FakeOwner(0x4000);
  const HWND second = FakeOwner(0x5000);
  NOTIFYICONDATAA a = IconData(first, "first");
  NOTIFYICONDATAA b = IconData(second, "second");
  NOTIFYICONDATAA c = IconData(first, "third");
  c.uID = kIconId + 1;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &a));
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &b));
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &c));
  EXPECT_EQ(vt::testing::TrayIcon().tip, "third");
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &c));
  // With the newest gone, the test sees one that is still there.
  EXPECT_TRUE(vt::testing::TrayIcon().present);

  std::vector<std::string> tips;
  for (const auto& icon : vt::platform::TrayIcons()) tips.push_back(icon.tip);
  EXPECT_EQ(tips, (std::vector<std::string>{"first", "second"}));
}

// The driver is told of each change that took effect, in order, with the
// state after it; refused calls never reach it.
std::vector<std::string> DriverLog() {
  std::vector<std::string> log;
  for (const auto& change : vt::null_driver::TrayChanges()) {
    switch (change.kind) {
      case vt::null_driver::TrayChange::Added:
        log.push_back("add " + change.icon.tip);
        break;
      case vt::null_driver::TrayChange::Modified:
        log.push_back("modify " + change.icon.tip);
        break;
      case vt::null_driver::TrayChange::Deleted:
        log.push_back("delete " + std::to_string(change.icon.id));
        break;
    }
  }
  return log;
}

TEST(Tray, DriverIsToldOfChangesThatTookEffect) {
  vt::testing::Reset();
  NOTIFYICONDATAA data = IconData(FakeOwner(0x6000), "here");
  Shell_NotifyIconA(NIM_ADD, &data);
  Shell_NotifyIconA(NIM_ADD, &data);  // refused: not passed on
  std::strcpy(data.szTip, "away");
  Shell_NotifyIconA(NIM_MODIFY, &data);
  Shell_NotifyIconA(NIM_DELETE, &data);
  Shell_NotifyIconA(NIM_DELETE, &data);  // refused
  Shell_NotifyIconA(NIM_ADD, &data);
  Shell_NotifyIconA(NIM_DELETE, &data);

  EXPECT_EQ(DriverLog(),
            (std::vector<std::string>{"add here", "modify away", "delete 110",
                                      "add away", "delete 110"}));
}

// The owner's window procedure, which records the callback messages.
struct Delivery {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Delivery> gDeliveries;

LRESULT CALLBACK OwnerProcedure(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam) {
  if (message == kCallback) {
    gDeliveries.push_back({window, message, wParam, lParam});
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(Tray, MouseOnTheIconReachesTheOwnersProcedure) {
  gDeliveries.clear();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = OwnerProcedure;
  windowClass.lpszClassName = "TrayOwnerTest";
  RegisterClassA(&windowClass);
  const HWND owner = CreateWindowExA(0, "TrayOwnerTest", "owner", 0, 0, 0, 10,
                                     10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);

  // Without an icon, nothing is delivered.
  vt::testing::TrayMouse(WM_RBUTTONUP);
  vt::testing::PumpPending();
  EXPECT_TRUE(gDeliveries.empty());

  NOTIFYICONDATAA data = IconData(owner, "Velto (Status: Here)");
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  vt::testing::TrayMouse(WM_LBUTTONDBLCLK);
  vt::testing::TrayMouse(WM_RBUTTONUP);
  // Posted, as by the real tray: nothing runs until the owner's thread
  // pumps.
  EXPECT_TRUE(gDeliveries.empty());
  ASSERT_TRUE(
      vt::testing::PumpUntil([] { return gDeliveries.size() >= 2; }, 5000));
  ASSERT_EQ(gDeliveries.size(), 2u);
  // message, wParam (the icon id), lParam (the mouse message)
  const Delivery kExpected[] = {
      {owner, kCallback, kIconId, WM_LBUTTONDBLCLK},
      {owner, kCallback, kIconId, WM_RBUTTONUP},
  };
  for (std::size_t i = 0; i < std::size(kExpected); ++i) {
    EXPECT_EQ(gDeliveries[i].window, kExpected[i].window) << i;
    EXPECT_EQ(gDeliveries[i].message, kExpected[i].message) << i;
    EXPECT_EQ(gDeliveries[i].wParam, kExpected[i].wParam) << i;
    EXPECT_EQ(gDeliveries[i].lParam, kExpected[i].lParam) << i;
  }

  // An icon without a callback message gives the program nothing.
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
  data.uFlags = NIF_ICON | NIF_TIP;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  vt::testing::TrayMouse(WM_RBUTTONUP);
  vt::testing::PumpPending();
  EXPECT_EQ(gDeliveries.size(), 2u);
  DestroyWindow(owner);
}

}  // namespace
