// The headless driver's state, for the test API: what was shown, what the
// scripts answer, and the injection of input through its input thread.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "platform/internal/driver.h"
#include "platform/testing/vttest.h"

namespace vt::null_driver {

void ScriptMessageBoxAnswers(std::vector<int> answers);
std::vector<testing::MessageBoxRecord> MessageBoxes();
std::size_t MessageBoxCount();
void ScriptPopupChoice(UINT command);
std::vector<testing::PopupRecord> Popups();
std::string ClipboardText(bool primarySelection);
void SetScreenSize(int width, int height);
// What the notification area was told, in order.
struct TrayChange {
  enum Kind { Added, Modified, Deleted };
  Kind kind = Added;
  platform::TrayIconState icon;
};
std::vector<TrayChange> TrayChanges();
// Forgets the records and scripts, and gives the screen its first size.
void Reset();
// Hands events to the input thread, which runs the hooks and queues them,
// then calls delivered there; returns at once.
void Inject(std::vector<platform::InputEvent> events,
            std::function<void()> delivered);

}  // namespace vt::null_driver
