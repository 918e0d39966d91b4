// The headless driver's state, for the test API: what was shown, what the
// scripts answer, and the injection of input through its input thread.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/internal/driver.h"
#include "platform/testing/vttest.h"

namespace vt::null_driver {

void ScriptMessageBoxAnswers(std::vector<int> answers);
std::vector<testing::MessageBoxRecord> MessageBoxes();
std::size_t MessageBoxCount();
void ScriptPopupChoice(UINT command);
std::vector<testing::PopupRecord> Popups();
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
// Hands events to the input thread, which runs the hooks and queues them;
// returns once all are delivered, processing what is sent to the calling
// thread meanwhile.
void Inject(std::vector<platform::InputEvent> events);

}  // namespace vt::null_driver
